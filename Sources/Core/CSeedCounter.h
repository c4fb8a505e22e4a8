#pragma once
#include "Platform/CSpinLock.h"

#include <cstdint>

namespace tal {

// The process-wide source of distinct seeds for pseudo-random generators (the wrapper's
// anti-denormal noise, processing modules, the wave writer). Its start value is mixed from the time
// of day and a few addresses, so it differs between runs and processes; each seed taken is the
// previous one plus one. Any thread may take a seed.
struct CSeedCounter {
    CSeedCounter() = default;
    CSeedCounter(const CSeedCounter&) = delete;
    CSeedCounter& operator=(const CSeedCounter&) = delete;
    ~CSeedCounter();

    // --- any thread ---
    std::uint64_t takeSeed() noexcept {
        CSpinLockGuard guard(lock);
        return ++value;
    }

    CSpinLock lock;
    std::uint64_t value = 0;   // the last seed handed out
    void* anchor = nullptr;    // a one-byte system block whose address feeds the start value
};

// Sets the start value from the time of day and the addresses of the anchor block, the anchor field
// and a local variable.
void initSeedCounter(CSeedCounter& counter);
// The start value's mix of the time of day (seconds, microseconds).
std::uint64_t seedFromTime(std::uint64_t seconds, std::uint64_t micros) noexcept;
// One mixing step of the start value: h combined with v.
std::uint64_t seedMixStep(std::uint64_t h, std::uint64_t v) noexcept;

// The process's counter, initialised on first use.
CSeedCounter& seedCounter();
inline std::uint64_t takeSeed() noexcept { return seedCounter().takeSeed(); }

} // namespace tal
