#pragma once
#include <cstdint>
#include <string>

namespace tal {

// Ten process-wide accumulators of measured code sections: calls, processor ticks and the largest
// tick count of one call. Nothing in the product measures a section, so they stay zero; at process
// exit every slot with calls is reported to the log, slots 9 down to 0.
struct CProfilerSlot {
    std::uint64_t calls = 0;
    std::uint64_t ticks = 0;
    std::uint64_t peak = 0;
};

constexpr int kProfilerSlotCount = 10;
extern CProfilerSlot profilerSlots[kProfilerSlotCount];

// The report line of a slot ("BENCH 3: 2000.0 msec, ...", ticks at an assumed 3.5 GHz), or the empty
// text for a slot without calls.
std::string formatProfilerSlot(int index, const CProfilerSlot& slot);
// Writes the report line of slot `index` to the log when it has calls.
void reportProfilerSlot(int index);

} // namespace tal
