#pragma once
#include "Audio/CAudioProgramSource.h"

namespace tal {

class CAudioParamRegistry;

// The programs of an instance's master parameter registry for the host's program parameter.
// Program switches it makes carry the given sender, so the instance can tell the host's own
// switches from those it must report. Owned by the binding; the registry outlives it. Main thread.
class CAudioRegistryProgramSource final : public CAudioProgramSource {
public:
    CAudioRegistryProgramSource(CAudioParamRegistry& registry, const void* sender) noexcept
        : mRegistry(registry), mSender(sender) {}

    std::int32_t getProgramCount() override;
    std::int32_t getCurrentProgram() override;
    CString getProgramName(std::int32_t index) override;
    void setCurrentProgram(std::int32_t index) override;

private:
    CAudioParamRegistry& mRegistry;
    const void* mSender;
};

} // namespace tal
