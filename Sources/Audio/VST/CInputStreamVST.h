#pragma once
#include "Core/CInputStream.h"

namespace Steinberg {
class IBStream;
}

namespace tal {

// A host's IBStream read as a framework input stream, for one state restore. Not owned; no
// reference is taken: the adapter lives on the stack for one call. A read the host refuses or cuts
// short is an error, so a truncated state is refused rather than applied half-read.
class CInputStreamVST : public CInputStream {
public:
    explicit CInputStreamVST(Steinberg::IBStream* hostStream) noexcept : mHostStream(hostStream) {}
    CInputStreamVST(const CInputStreamVST&) = delete;
    CInputStreamVST& operator=(const CInputStreamVST&) = delete;

    [[nodiscard]] CError* read(void* destination, std::int32_t count) override;
    [[nodiscard]] CError* readUpTo(void* destination, std::int32_t& count) override;

private:
    Steinberg::IBStream* mHostStream;
};

} // namespace tal
