#include "Core/CSeedCounter.h"

#include <cstdlib>
#include <sys/time.h>

namespace tal {

namespace {

struct Product {
    std::uint64_t lo, hi;
};

Product mul128(std::uint64_t a, std::uint64_t b) noexcept {
    const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
    return {std::uint64_t(p), std::uint64_t(p >> 64)};
}

} // namespace

CSeedCounter::~CSeedCounter() { std::free(anchor); }

std::uint64_t seedFromTime(std::uint64_t seconds, std::uint64_t micros) noexcept {
    const std::uint64_t x = seconds ^ 0x01D2EE0AE40A48DCull;
    const std::uint64_t y = micros ^ 0x4EF2E8526FEA8BC9ull;
    Product p = mul128(y, x);
    const std::uint64_t k = p.hi + 0x4EF2E8526FEA8BC9ull;
    std::uint64_t a = p.lo ^ k ^ 1;
    p = mul128(a, k);
    const std::uint64_t d = p.hi + k;
    a = p.lo ^ d;
    p = mul128(a, d);
    return (p.hi + d) ^ p.lo;
}

std::uint64_t seedMixStep(std::uint64_t h, std::uint64_t v) noexcept {
    const std::uint64_t A = (h & 0x5555555555555555ull) ^ 0x243F6A8885A308D3ull;
    const std::uint64_t B = (h & 0xAAAAAAAAAAAAAAAAull) ^ 0x452821E638D01377ull;
    Product p = mul128(A, B);
    const std::uint64_t b = p.hi + B;
    const std::uint64_t a = p.lo ^ v ^ b;
    p = mul128(b ^ 1, a);
    const std::uint64_t d = p.hi + b;
    const std::uint64_t x = p.lo ^ d;
    p = mul128(x, d);
    return (p.hi + d) ^ p.lo;
}

void initSeedCounter(CSeedCounter& counter) {
    counter.lock.unlock();
    timeval now{};
    gettimeofday(&now, nullptr);
    std::uint64_t h = seedFromTime(std::uint64_t(now.tv_sec), std::uint64_t(now.tv_usec));
    if (counter.anchor == nullptr)
        counter.anchor = std::malloc(1);
    volatile int local = 0;
    h = seedMixStep(h, reinterpret_cast<std::uintptr_t>(counter.anchor));
    h = seedMixStep(h, reinterpret_cast<std::uintptr_t>(&counter.anchor));
    h = seedMixStep(h, reinterpret_cast<std::uintptr_t>(&local));
    counter.value = h;
}

CSeedCounter& seedCounter() {
    static CSeedCounter counter;
    static const bool initialised = (initSeedCounter(counter), true);
    (void)initialised;
    return counter;
}

} // namespace tal
