#include "Other/CWaveSampleCodec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tal {

namespace {

// Raw integer of `Bytes` bytes in the given byte order, sign-extended from its top bit.
template <int Bytes, bool Little>
inline std::int32_t loadSigned(const std::uint8_t* s) noexcept {
    std::uint32_t v = 0;
    for (int i = 0; i < Bytes; ++i) {
        const std::uint32_t b = Little ? s[i] : s[Bytes - 1 - i];
        v |= b << (8 * i);
    }
    v <<= 8 * (4 - Bytes);                            // the sign bit to bit 31
    return static_cast<std::int32_t>(v) >> (8 * (4 - Bytes));
}

template <int Bytes, bool Little>
void decodeInt(const std::uint8_t* __restrict src, std::int32_t stride, double* __restrict dst, std::int32_t count) noexcept {
    constexpr double scale = 1.0 / static_cast<double>(1ull << (8 * Bytes - 1));
    for (std::int32_t i = 0; i < count; ++i) dst[i] = loadSigned<Bytes, Little>(src + static_cast<std::ptrdiff_t>(i) * stride) * scale;
}

void decodeU8(const std::uint8_t* __restrict src, std::int32_t stride, double* __restrict dst, std::int32_t count) noexcept {
    for (std::int32_t i = 0; i < count; ++i) dst[i] = (static_cast<int>(src[static_cast<std::ptrdiff_t>(i) * stride]) - 128) * (1.0 / 128.0);
}

template <typename Float, typename Bits, bool Little>
void decodeFloat(const std::uint8_t* __restrict src, std::int32_t stride, double* __restrict dst, std::int32_t count) noexcept {
    for (std::int32_t i = 0; i < count; ++i) {
        Bits bits;
        std::memcpy(&bits, src + static_cast<std::ptrdiff_t>(i) * stride, sizeof bits);
        if constexpr (!Little) bits = static_cast<Bits>(sizeof(Bits) == 4 ? __builtin_bswap32(static_cast<std::uint32_t>(bits))
                                                                          : __builtin_bswap64(static_cast<std::uint64_t>(bits)));
        Float f;
        std::memcpy(&f, &bits, sizeof f);
        dst[i] = static_cast<double>(f);
    }
}

// One integer sample, dithered, rounded and limited in the double domain so that the conversion
// to an integer is always defined.
inline std::int32_t quantise(double v, double scale, double lo, double hi, CWaveDitherState& dither) noexcept {
    if (std::isnan(v)) v = 0.0;
    const double r = CWaveSampleCodec::roundHalfAway(v * scale + dither.nextDither());
    return static_cast<std::int32_t>(std::clamp(r, lo, hi));
}

template <int Bytes>
void encodeInt(int realBits, const double* __restrict src, std::uint8_t* __restrict dst, std::int32_t stride, std::int32_t count,
               CWaveDitherState& dither) noexcept {
    const double scale = std::ldexp(1.0, realBits - 1);
    const double lo = -scale, hi = scale - 1.0;
    const int shift = 8 * Bytes - realBits;
    CWaveDitherState state = dither;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t n = static_cast<std::uint32_t>(quantise(src[i], scale, lo, hi, state)) << shift;
        std::uint8_t* d = dst + static_cast<std::ptrdiff_t>(i) * stride;
        if constexpr (Bytes == 1) {
            d[0] = static_cast<std::uint8_t>(n + 128);
        } else {
            for (int b = 0; b < Bytes; ++b) d[b] = static_cast<std::uint8_t>(n >> (8 * b));
        }
    }
    dither = state;
}

template <typename Float>
void encodeFloat(const double* __restrict src, std::uint8_t* __restrict dst, std::int32_t stride, std::int32_t count) noexcept {
    for (std::int32_t i = 0; i < count; ++i) {
        const Float f = static_cast<Float>(src[i]);
        std::memcpy(dst + static_cast<std::ptrdiff_t>(i) * stride, &f, sizeof f);   // x86-64 is little-endian
    }
}

} // namespace

EWaveSampleFormat CWaveSampleCodec::select(bool isFloat, int physicalBits, bool isLittleEndian, bool isUnsigned8) noexcept {
    using F = EWaveSampleFormat;
    if (isFloat) {
        if (physicalBits == 32) return isLittleEndian ? F::kF32LE : F::kF32BE;
        if (physicalBits == 64) return isLittleEndian ? F::kF64LE : F::kF64BE;
        return F::kInvalid;
    }
    switch (physicalBits) {
        case 8: return isUnsigned8 ? F::kU8 : F::kS8;
        case 16: return isLittleEndian ? F::kS16LE : F::kS16BE;
        case 24: return isLittleEndian ? F::kS24LE : F::kS24BE;
        case 32: return isLittleEndian ? F::kS32LE : F::kS32BE;
        default: return F::kInvalid;
    }
}

void CWaveSampleCodec::decode(EWaveSampleFormat format, const std::uint8_t* src, std::int32_t stride, double* dst,
                              std::int32_t count) noexcept {
    using F = EWaveSampleFormat;
    switch (format) {
        case F::kU8: decodeU8(src, stride, dst, count); break;
        case F::kS8: decodeInt<1, true>(src, stride, dst, count); break;
        case F::kS16LE: decodeInt<2, true>(src, stride, dst, count); break;
        case F::kS16BE: decodeInt<2, false>(src, stride, dst, count); break;
        case F::kS24LE: decodeInt<3, true>(src, stride, dst, count); break;
        case F::kS24BE: decodeInt<3, false>(src, stride, dst, count); break;
        case F::kS32LE: decodeInt<4, true>(src, stride, dst, count); break;
        case F::kS32BE: decodeInt<4, false>(src, stride, dst, count); break;
        case F::kF32LE: decodeFloat<float, std::uint32_t, true>(src, stride, dst, count); break;
        case F::kF32BE: decodeFloat<float, std::uint32_t, false>(src, stride, dst, count); break;
        case F::kF64LE: decodeFloat<double, std::uint64_t, true>(src, stride, dst, count); break;
        case F::kF64BE: decodeFloat<double, std::uint64_t, false>(src, stride, dst, count); break;
        case F::kInvalid: std::fill(dst, dst + std::max(count, 0), 0.0); break;
    }
}

void CWaveSampleCodec::encode(EWaveSampleFormat format, int realBits, const double* src, std::uint8_t* dst, std::int32_t stride,
                              std::int32_t count, CWaveDitherState& dither) noexcept {
    using F = EWaveSampleFormat;
    switch (format) {
        case F::kU8: encodeInt<1>(realBits, src, dst, stride, count, dither); break;
        case F::kS16LE: encodeInt<2>(realBits, src, dst, stride, count, dither); break;
        case F::kS24LE: encodeInt<3>(realBits, src, dst, stride, count, dither); break;
        case F::kS32LE: encodeInt<4>(realBits, src, dst, stride, count, dither); break;
        case F::kF32LE: encodeFloat<float>(src, dst, stride, count); break;
        case F::kF64LE: encodeFloat<double>(src, dst, stride, count); break;
        default: break;   // the writer only produces the little-endian layouts above
    }
}

double CWaveSampleCodec::roundHalfAway(double x) noexcept {
    return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x);
}

} // namespace tal
