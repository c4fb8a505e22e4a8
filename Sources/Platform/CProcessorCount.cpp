#include "Platform/CProcessorCount.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace tal {

namespace {
const int gCountedProcessors = std::max(1, int(std::thread::hardware_concurrency()));
std::atomic<int> gForcedProcessors{0};
} // namespace

int processorCount() noexcept {
    const int forced = gForcedProcessors.load(std::memory_order_relaxed);
    return forced > 0 ? forced : gCountedProcessors;
}

void setProcessorCountForTests(int count) noexcept { gForcedProcessors.store(std::max(count, 0), std::memory_order_relaxed); }

} // namespace tal
