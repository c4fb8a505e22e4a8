#include "Core/ProfilerSlots.h"

#include "Core/Log.h"

#include <cstdio>

namespace tal {

CProfilerSlot profilerSlots[kProfilerSlotCount];

namespace {
// Reports the slots when static objects are destroyed at process exit.
struct ExitReport {
    ~ExitReport() {
        for (int i = kProfilerSlotCount - 1; i >= 0; --i)
            reportProfilerSlot(i);
    }
} gExitReport;
} // namespace

std::string formatProfilerSlot(int index, const CProfilerSlot& slot) {
    if (slot.calls == 0)
        return std::string();
    const double ms = double(slot.ticks) / 3.5e9 * 1000.0;
    const double calls = double(slot.calls);
    char line[1024];
    std::snprintf(line, sizeof line, "BENCH %i: %6.1f msec, %7.0f calls, %.8f ms/call, %4.0f tk/call, peak %4.0f tk", index,
                  ms, calls, ms / calls, double(slot.ticks) / calls, double(slot.peak));
    return line;
}

void reportProfilerSlot(int index) {
    const std::string line = formatProfilerSlot(index, profilerSlots[index]);
    if (!line.empty())
        writeLog(line.c_str(), true);
}

} // namespace tal
