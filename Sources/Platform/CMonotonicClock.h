#pragma once
#include <cstdint>

namespace tal {

// The raw monotonic clock in nanoseconds (CLOCK_MONOTONIC_RAW): unaffected by clock adjustments,
// used for start-up times, timers, animations and time-outs. Any thread.
std::uint64_t getMonotonicNanos() noexcept;

// Seconds between two readings of getMonotonicNanos (later minus earlier).
inline double nanosToSeconds(std::uint64_t nanos) noexcept { return static_cast<double>(nanos) * 1e-9; }

} // namespace tal
