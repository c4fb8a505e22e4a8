#pragma once
#include "Audio/CDSPModDelay.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

struct CAudioChannelDesc;

// The delay line that aligns one input channel of a connection to the process's input latency.
// Owned by the input connection whose channel it delays; matched to the channel by position
// among the delayed channels of that connection.
struct CAudioLatencyDelay : CPoolAllocated {
    CAudioLatencyDelay(CAudioBlockPool* pool, int crossfadeLength, bool primeWithFirst)
        : line(pool, kSegmentLength, crossfadeLength, crossfadeLength, primeWithFirst) {}

    static constexpr int kSegmentLength = 1024;

    std::int32_t channelIndex = -1;
    std::int32_t group = 0;
    CAudioChannelDesc* record = nullptr;   // the connection channel record it delays
    CDSPModDelay line;
};

} // namespace tal
