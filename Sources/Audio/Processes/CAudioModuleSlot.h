#pragma once

#include <cstdint>

#include "Core/CPoolAllocated.h"

namespace tal {

class CAudioModule;

// One channel set of a terminal: the module whose output the terminal passes on and, while a
// smooth change crossfades, the module being faded out. Owned by its terminal (with both modules).
struct CAudioModuleSlot : CPoolAllocated {
    static constexpr int kMaxChannels = 16;

    // The raised-cosine oscillator of one output channel: h runs through 0.5 cos(pi k / N).
    struct CFade {
        double h = 0.0;
        double previous = 0.0;
        double coefficient = 0.0;
    };

    CAudioModule* current = nullptr;
    CAudioModule* fadingOut = nullptr;
    bool crossfading = false;
    bool crossfadeFinished = false;   // raised by the terminal's deferred update
    bool changePending = false;       // a smooth change arrived during the crossfade
    std::int32_t holdSamples = 0;     // samples still taken from the fading-out module alone
    std::int32_t crossfadeLeft = 0;   // samples still to mix
    std::int32_t fadeCount = 0;
    CFade fades[kMaxChannels];
};

} // namespace tal
