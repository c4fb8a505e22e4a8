#pragma once

#include <bit>
#include <cstdint>

namespace tal {

// The anti-denormal noise of processes and modules that would otherwise output exact silence:
// values of magnitude at most 2^-42, far below audibility but never denormal. A deterministic
// generator of three 64-bit words; each instance seeds itself from the process-wide seed counter.
// One thread uses one generator (the audio thread of its owner).
struct CDenormNoiseGen {
    std::uint64_t s = 0;
    std::uint64_t a = 0;
    std::uint64_t x = 0;

    // State (seed, 0, 0), stepped five times.
    void seed(std::uint64_t value) noexcept;
    // Seeds from the process-wide seed counter (takes its spin lock).
    void seedFromCounter() noexcept;
    // One step; returns the step's output word.
    std::uint64_t step() noexcept {
        // The constants join s and a before e does (the same sums modulo 2^64): the next step
        // waits on e through one addition fewer. The empty statements keep the compiler from
        // folding the constants back onto e.
        std::uint64_t sk = s + 0x5555555555555555ull;
        std::uint64_t ak = a + 0xAAAAAAAAAAAAAAAAull;
        __asm__("" : "+r"(sk), "+r"(ak));
        const std::uint64_t e = x * (2 * s + 1);
        s = sk + e;
        a = ak + std::rotl(e, 32);
        x = e ^ a;
        return std::rotl(e, 32) ^ s;
    }
    // count samples in [-2^-42, 2^-42): four per output word, each 16-bit piece u from the lowest
    // giving u * 2^-57 - 2^-42.
    void fill(double* buffer, int count) noexcept;
    // out[i] = in[i] + the noise fill() would write, in one pass (out may be in for doubles).
    void addToDouble(const double* in, double* out, int count) noexcept;
    void addToFloat(const float* in, double* out, int count) noexcept;
};

} // namespace tal
