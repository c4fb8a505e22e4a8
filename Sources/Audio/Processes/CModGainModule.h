#pragma once

#include "Audio/CDenormNoiseGen.h"
#include "Audio/Processes/CAudioModule.h"

namespace tal {

// The gain module (terminal "audio:modGain"): multiplies its channel by a linear factor, with mute
// (near-silent noise instead of the signal) and phase inversion; a factor of one passes the input
// block on itself, without a copy. Keys: 0 gain (linear, default 1), 1 mute, 2 phase-invert.
class CModGainModule : public CAudioModule {
public:
    enum : int { kKeyGain = 0, kKeyMute = 1, kKeyPhaseInvert = 2 };

    CModGainModule() = default;

    void init() override;
    void update() override;
    void process() override;
    void bindParams() override;

    // --- queries ---
    double factor() const noexcept { return mFactor; }
    bool isMuted() const noexcept { return mMuted; }
    bool isUnity() const noexcept { return !mNotUnity; }

    // Whether a factor counts as different from one: |f - 1| > |f| eps + eps with eps the decimal
    // 2.2204461e-16, slightly above the double epsilon.
    static bool differsFromUnity(double factor) noexcept;

private:
    const CAudioParamStorage* mGain = nullptr;
    std::uint8_t mGainChanged = 0;
    const CAudioParamStorage* mMute = nullptr;
    std::uint8_t mMuteChanged = 0;
    const CAudioParamStorage* mPhaseInvert = nullptr;
    std::uint8_t mPhaseInvertChanged = 0;
    bool mMuted = false;
    bool mNotUnity = false;
    double mFactor = 1.0;
    CDenormNoiseGen mNoise;
};

} // namespace tal
