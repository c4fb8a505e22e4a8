#pragma once
#include "Audio/CAudioChannelDesc.h"
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

struct CAudioLatencyDelay;

// An input connection of a process port: the channels of one source (a process's output, the
// composite's forwarding or the plug-in shell's host input). The source stores a block per
// channel through the key index together with the block length; the owning process reads them at
// its next block and releases them at its end. Owned by its port.
class CAudioProcessConnection : public CPoolAllocated {
public:
    static constexpr int kMaxChannels = 32;   // keys 0..31: source ports 0 and 1

    CAudioProcessConnection(std::int32_t sourcePortSelector, std::int32_t* ownerFormatCounter) noexcept;
    CAudioProcessConnection(const CAudioProcessConnection&) = delete;
    CAudioProcessConnection& operator=(const CAudioProcessConnection&) = delete;
    ~CAudioProcessConnection();   // destroys the latency delay lines (their ring blocks go back)

    // --- source side (audio thread) ---
    // Stores a block for the channel of that key (the caller's use passes to the connection); a key
    // the format does not hold drops the block.
    void storeBlock(int key, double* block) noexcept;

    // --- queries ---
    // The channel record of a key in the current format, null when the format does not hold it.
    CAudioChannelDesc* recordOfKey(int key) const noexcept;

    std::int32_t sourcePort;                       // the source port whose channels are read
    std::int32_t* formatCounter;                   // the owning process's format-change counter
    double sampleRate = 1.0;                       // 1.0 until a format is set
    std::int32_t channelCount = 0;
    CAudioChannelDesc channels[kMaxChannels];      // one per channel of the source's output
    CAudioChannelDesc* keyIndex[kMaxChannels] = {};
    std::int32_t blockLength = 0;                  // samples of the blocks the records hold
    CArray<CAudioLatencyDelay*> delays;            // owned, by position among delayed channels
};

} // namespace tal
