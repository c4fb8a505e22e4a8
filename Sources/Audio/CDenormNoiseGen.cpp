#include "Audio/CDenormNoiseGen.h"

#include "Core/CSeedCounter.h"

#include <bit>
#include <cmath>

namespace tal {

void CDenormNoiseGen::seed(std::uint64_t value) noexcept {
    s = value;
    a = 0;
    x = 0;
    for (int i = 0; i < 5; ++i)
        step();
}

void CDenormNoiseGen::seedFromCounter() noexcept { seed(takeSeed()); }

std::uint64_t CDenormNoiseGen::step() noexcept {
    const std::uint64_t e = x * (2 * s + 1);
    s = s + e + 0x5555555555555555ull;
    a = a + std::rotl(e, 32) + 0xAAAAAAAAAAAAAAAAull;
    x = e ^ a;
    return std::rotl(e, 32) ^ s;
}

void CDenormNoiseGen::fill(double* buffer, int count) noexcept {
    static const double kScale = std::ldexp(1.0, -57);
    static const double kOffset = std::ldexp(1.0, -42);
    int i = 0;
    while (i < count) {
        std::uint64_t word = step();
        for (int k = 0; k < 4 && i < count; ++k, ++i) {
            buffer[i] = double(word & 0xFFFF) * kScale - kOffset;
            word >>= 16;
        }
    }
}

} // namespace tal
