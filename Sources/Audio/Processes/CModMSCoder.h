#pragma once

#include "Audio/CAudioProcessBase.h"
#include "Audio/Processes/CModuleDef.h"

#include <cstdint>

namespace tal {

class CAudioParamStorage;

// The mid/side coder ("audio:modMSCoder"), a plain leaf that handles every channel of its input
// port 0: channels assigned to the same pair number are coded together (encoder: M = (L + R) / 2,
// S = (L - R) / 2; decoder: L = M + S, R = M - S), every other channel passes through by
// reference. Keys: 0 "pairs" (per channel number: 0 none, n pair n - 1; group 0), 1 "mode" (0
// encode, otherwise decode), 2 "bypass" (every channel passes).
class CModMSCoder final : public CAudioProcessBase {
public:
    enum : int { kKeyPairs = 0, kKeyMode = 1, kKeyBypass = 2 };
    static constexpr int kMaxChannels = 16;

    // Two channels coded together: positions in port 0's channel table and their channel numbers.
    struct CPair {
        std::int32_t number = 0;
        std::int32_t first = 0;
        std::int32_t second = -1;      // -1 while unmatched
        std::int32_t firstChannel = 0;
        std::int32_t secondChannel = 0;
    };

    CModMSCoder() = default;

    void bindParams() override;
    void update() override;
    void process() override;

    // --- queries ---
    bool isDecoder() const noexcept { return mDecoder; }
    int pairCount() const noexcept { return mPairCount; }
    const CPair& pair(int index) const noexcept { return mPairs[index]; }
    int passCount() const noexcept { return mPassCount; }
    // Position in port 0 of the i-th pass-through channel.
    int passChannel(int index) const noexcept { return mPass[index]; }

    // The codings, sample by sample (out may be the input of the other output only by copy).
    static void encode(const double* a, const double* b, double* mid, double* side, int n) noexcept;
    static void decode(const double* a, const double* b, double* left, double* right, int n) noexcept;

private:
    void bindDefParam(int key, const CAudioParamStorage*& values, std::uint32_t* changed);
    void rebuildPairs();

    const CAudioParamStorage* mPairsStore = nullptr;
    std::uint32_t mPairsChanged = 0;
    const CAudioParamStorage* mModeStore = nullptr;
    std::uint32_t mModeChanged = 0;
    const CAudioParamStorage* mBypassStore = nullptr;
    std::uint32_t mBypassChanged = 0;
    bool mDecoder = false;
    CPair mPairs[kMaxChannels / 2];
    std::int32_t mPairCount = 0;
    std::int32_t mPass[kMaxChannels] = {};
    std::int32_t mPassCount = 0;
};
using CModMSCoderDef = CModuleDef<CModMSCoder>;

} // namespace tal
