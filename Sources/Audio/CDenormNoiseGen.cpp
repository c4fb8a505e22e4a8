#include "Audio/CDenormNoiseGen.h"

#include "Core/CSeedCounter.h"

#include <emmintrin.h>

#include <bit>

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
    // The four 16-bit pieces of a word widen to doubles two at a time: a piece u placed in the
    // mantissa of 2^52 gives 2^52 + u exactly, and subtracting 2^52 leaves u as a double, so every
    // value equals u * 2^-57 - 2^-42 computed piece by piece.
    const __m128d magic = _mm_set1_pd(0x1p52);
    const __m128i magicBits = _mm_castpd_si128(magic);
    const __m128d scale = _mm_set1_pd(0x1p-57);
    const __m128d offset = _mm_set1_pd(0x1p-42);
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i pieces = _mm_unpacklo_epi16(_mm_cvtsi64_si128(static_cast<long long>(step())), zero);
        const __m128d lo = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_unpacklo_epi32(pieces, zero), magicBits)), magic);
        const __m128d hi = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_unpackhi_epi32(pieces, zero), magicBits)), magic);
        _mm_storeu_pd(buffer + i, _mm_sub_pd(_mm_mul_pd(lo, scale), offset));
        _mm_storeu_pd(buffer + i + 2, _mm_sub_pd(_mm_mul_pd(hi, scale), offset));
    }
    if (i < count) {   // a final run of one to three samples takes a whole word
        std::uint64_t word = step();
        for (; i < count; ++i) {
            buffer[i] = double(word & 0xFFFF) * 0x1p-57 - 0x1p-42;
            word >>= 16;
        }
    }
}

} // namespace tal
