#include "Platform/CMonotonicClock.h"

#include <time.h>

namespace tal {

std::uint64_t getMonotonicNanos() noexcept {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

} // namespace tal
