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


namespace {

// The four values of one output word, two per register: a 16-bit piece u placed in the mantissa
// of 2^52 gives 2^52 + u exactly, and subtracting 2^52 leaves u as a double, so each value equals
// u * 2^-57 - 2^-42 computed piece by piece.
struct NoiseWord {
    __m128d lo, hi;
};

inline NoiseWord widenWord(std::uint64_t word) noexcept {
    const __m128d magic = _mm_set1_pd(0x1p52);
    const __m128i magicBits = _mm_castpd_si128(magic);
    const __m128d scale = _mm_set1_pd(0x1p-57);
    const __m128d offset = _mm_set1_pd(0x1p-42);
    const __m128i zero = _mm_setzero_si128();
    const __m128i pieces = _mm_unpacklo_epi16(_mm_cvtsi64_si128(static_cast<long long>(word)), zero);
    const __m128d lo = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_unpacklo_epi32(pieces, zero), magicBits)), magic);
    const __m128d hi = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_unpackhi_epi32(pieces, zero), magicBits)), magic);
    return {_mm_sub_pd(_mm_mul_pd(lo, scale), offset), _mm_sub_pd(_mm_mul_pd(hi, scale), offset)};
}

inline double piece(std::uint64_t word, int k) noexcept { return double((word >> (16 * k)) & 0xFFFF) * 0x1p-57 - 0x1p-42; }

struct NoInput {
    __m128d load2(int) const noexcept { return _mm_setzero_pd(); }
    double load(int) const noexcept { return 0.0; }
    static constexpr bool kAdds = false;
};
struct DoubleInput {
    const double* in;
    __m128d load2(int i) const noexcept { return _mm_loadu_pd(in + i); }
    double load(int i) const noexcept { return in[i]; }
    static constexpr bool kAdds = true;
};
struct FloatInput {
    const float* in;
    __m128d load2(int i) const noexcept {
        // Two floats of any alignment (the host's buffers are only 4-byte aligned).
        return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i_u*>(in + i))));
    }
    double load(int i) const noexcept { return double(in[i]); }
    static constexpr bool kAdds = true;
};

// out = input + noise (or the noise alone), four values per word; a final run of one to three
// values takes a whole word.
template <class Input>
void writeNoise(CDenormNoiseGen& state, const Input& input, double* out, int count) noexcept {
    // The state works in registers: the stores below may alias anything, so the generator's own
    // words would otherwise go to memory and back on every step.
    CDenormNoiseGen gen = state;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const NoiseWord w = widenWord(gen.step());
        if constexpr (Input::kAdds) {
            _mm_storeu_pd(out + i, _mm_add_pd(input.load2(i), w.lo));
            _mm_storeu_pd(out + i + 2, _mm_add_pd(input.load2(i + 2), w.hi));
        } else {
            _mm_storeu_pd(out + i, w.lo);
            _mm_storeu_pd(out + i + 2, w.hi);
        }
    }
    if (i < count) {
        const std::uint64_t word = gen.step();
        for (int k = 0; i < count; ++i, ++k)
            out[i] = Input::kAdds ? input.load(i) + piece(word, k) : piece(word, k);
    }
    state = gen;
}

} // namespace

void CDenormNoiseGen::fill(double* buffer, int count) noexcept { writeNoise(*this, NoInput{}, buffer, count); }

void CDenormNoiseGen::addToDouble(const double* in, double* out, int count) noexcept {
    writeNoise(*this, DoubleInput{in}, out, count);
}

void CDenormNoiseGen::addToFloat(const float* in, double* out, int count) noexcept {
    writeNoise(*this, FloatInput{in}, out, count);
}

} // namespace tal
