#pragma once

#include "Audio/CDenormNoiseGen.h"
#include "Audio/Processes/CAudioModule.h"

namespace tal {

// The bypass and group-solo module (terminal "audio:modBypass"): per channel it passes its main
// input (port 0), the matching channel of its alternate input (port 1, the dry signal) or
// near-silent noise. Keys: 0 enable (bypass on), 1 group-solo (bound for every group).
//
//   enable              alternate  another group soloed, own not  output
//   no values or off    any        no                             main input
//   no values or off    any        yes                            noise
//   on                  present    no                             alternate input
//   on                  present    yes                            noise
//   on                  absent     any                            noise
class CModBypassModule : public CAudioModule {
public:
    enum : int { kKeyEnable = 0, kKeyGroupSolo = 1 };
    enum class Output { kMain, kAlternate, kNoise };

    CModBypassModule() = default;

    void init() override;
    void update() override;
    void process() override;
    void bindParams() override;

    // --- queries ---
    Output selection() const noexcept;

    // The decision for an enable value (hasEnable false: the store has no values), whether an
    // alternate channel exists and whether some group other than the module's own is soloed
    // while the own one is not.
    static Output decide(bool hasEnable, double enable, bool hasAlternate, bool soloedOut) noexcept;
    // Whether a solo store keeps `group` silent: some group's element 0 is on, the group's is not.
    static bool isSoloedOut(const CAudioParamStorage* solo, int group) noexcept;

private:
    const CAudioParamStorage* mEnable = nullptr;
    std::uint8_t mEnableChanged = 0;
    const CAudioParamStorage* mGroupSolo = nullptr;
    std::uint8_t mGroupSoloChanged = 0;
    bool mPassMain = true;
    bool mOutputNoise = false;
    CDenormNoiseGen mNoise;
    CAudioChannelDesc* const* mAlternate[kMaxChannels] = {};
};

} // namespace tal
