#pragma once
#include <cstdint>

namespace tal {

// The sample layouts a wave file can hold, as the reader decodes them and the writer encodes them.
enum class EWaveSampleFormat : std::uint8_t {
    kInvalid,
    kU8,    // unsigned 8-bit, 128 is zero (WAVE)
    kS8,    // signed 8-bit (AIFF)
    kS16LE, kS16BE,
    kS24LE, kS24BE,
    kS32LE, kS32BE,
    kF32LE, kF32BE,
    kF64LE, kF64BE,
};

// One channel's noise generator for the writer's dither: three 64-bit words, advanced by `next`.
struct CWaveDitherState {
    std::uint64_t x = 0, y = 0, z = 0;

    // One step; returns the step's 64-bit output.
    std::uint64_t next() noexcept {
        const std::uint64_t t = x * (2 * y + 1);
        const std::uint64_t u = (t << 32) | (t >> 32);
        y = y + t + 0x5555555555555555ull;
        const std::uint64_t w = u ^ y;
        z = z + u - 0x5555555555555556ull;
        x = t ^ z;
        return w;
    }
    // Triangular dither in (-1, 1): the difference of the two 32-bit halves of one output, over 2^32.
    double nextDither() noexcept {
        const std::uint64_t w = next();
        return (static_cast<double>(static_cast<std::uint32_t>(w)) - static_cast<double>(static_cast<std::uint32_t>(w >> 32))) *
               (1.0 / 4294967296.0);
    }
    // The state for a seed: x = seed, then five steps whose outputs are dropped.
    static CWaveDitherState fromSeed(std::uint64_t seed) noexcept {
        CWaveDitherState s{seed, 0, 0};
        for (int i = 0; i < 5; ++i) s.next();
        return s;
    }
};

// Conversion between the raw sample bytes of a wave file and doubles. Stateless apart from the
// dither state the caller passes in.
class CWaveSampleCodec {
public:
    // --- format selection ---
    // The layout for the given format fields, or kInvalid when the combination is not supported.
    static EWaveSampleFormat select(bool isFloat, int physicalBits, bool isLittleEndian, bool isUnsigned8) noexcept;

    // --- conversion ---
    // Decodes `count` samples: the first at `src`, each next one `stride` bytes further. Integers are
    // scaled by 2^-(bits - 1) of their container; floats are passed through unchanged.
    static void decode(EWaveSampleFormat format, const std::uint8_t* src, std::int32_t stride, double* dst,
                       std::int32_t count) noexcept;

    // Encodes `count` doubles into the little-endian layout of the writer (8-bit unsigned, 16, 24 or
    // 32-bit signed integers, 32 or 64-bit floats), each sample `stride` bytes after the previous one.
    // Integers: v * 2^(realBits - 1) plus the dither, taken to the nearest integer with halves away
    // from zero, limited to the valid bits' range, then shifted left by physicalBits - realBits.
    // NaN counts as 0 and infinities as full scale. Floats are stored without scaling or dither.
    static void encode(EWaveSampleFormat format, int realBits, const double* src, std::uint8_t* dst, std::int32_t stride,
                       std::int32_t count, CWaveDitherState& dither) noexcept;

    // Nearest integer, halves away from zero: floor(x + 0.5) at and above 0, -floor(0.5 - x) below.
    static double roundHalfAway(double x) noexcept;
};

} // namespace tal
