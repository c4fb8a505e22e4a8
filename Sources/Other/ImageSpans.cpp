#include "Other/ImageSpans.h"

#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"

#include <algorithm>
#include <cstring>
#include <emmintrin.h>

namespace tal {

namespace {

// R, G, B move toward the colour by floor((c - p) x m / 2^k); X is left alone.
inline void shiftBlendRGB(std::uint8_t* p, const std::uint8_t* c, std::int64_t m, int k) noexcept {
    for (int i = 0; i < 3; ++i)
        p[i] = std::uint8_t(p[i] + (((std::int64_t(c[i]) - p[i]) * m) >> k));
}

// The same for a coverage byte m over 8 bits, the four channels in 32-bit lanes at once (the
// products fit 32 bits); X is put back afterwards.
inline void coverageBlendRGB(std::uint8_t* p, const std::uint8_t* c, std::int32_t m) noexcept {
    const __m128i zero = _mm_setzero_si128();
    std::int32_t pixel, color;
    std::memcpy(&pixel, p, 4);
    std::memcpy(&color, c, 4);
    const __m128i p16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(pixel), zero);
    const __m128i c16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(color), zero);
    const __m128i diff = _mm_unpacklo_epi16(_mm_sub_epi16(c16, p16), zero);   // low halves signed
    const __m128i moved = _mm_srai_epi32(_mm_madd_epi16(diff, _mm_set1_epi32(m)), 8);
    const __m128i sum = _mm_add_epi32(_mm_unpacklo_epi16(p16, zero), moved);
    const std::uint32_t out = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(sum, zero), zero)));
    const std::uint32_t kept = (out & 0x00ffffffu) | (std::uint32_t(pixel) & 0xff000000u);
    std::memcpy(p, &kept, 4);
}

// All four bytes get the 15-bit blend toward the colour at weight w.
inline void blend4(std::uint8_t* p, const std::uint8_t* c, std::int32_t w) noexcept {
    for (int i = 0; i < 4; ++i)
        p[i] = CLinearBitmap::blend15(p[i], c[i], w);
}

// Draws n pixels of one run of type 1 (translucent), 2 (opaque) or 3 (one repeated opaque pixel).
// CH is the layer's channel count, TRANSLUCENT the record's flag; t is the tint ramp (256 x 4).
template <int CH, bool TRANSLUCENT>
void drawRun(int type, const std::uint8_t* s, std::uint8_t* d, std::int32_t n, std::int32_t w,
             const std::uint8_t* ramp) noexcept {
    const std::uint8_t* tint = CH != 4 ? ramp + 4 * 255 : nullptr;
    if (type == 1) {
        for (std::int32_t i = 0; i < n; ++i, s += CH, d += 4) {
            if constexpr (CH == 1) {
                if constexpr (TRANSLUCENT)
                    shiftBlendRGB(d, tint, std::int64_t(s[0]) * w, 23);
                else
                    coverageBlendRGB(d, tint, s[0]);
            } else if constexpr (CH == 2) {
                if constexpr (TRANSLUCENT)
                    blend4(d, ramp + 4 * s[0], (w >> 8) * s[1]);
                else
                    coverageBlendRGB(d, ramp + 4 * s[0], s[1]);
            } else {
                blend4(d, s, TRANSLUCENT ? (w >> 8) * s[3] : s[3] * 128);
            }
        }
        return;
    }
    const bool repeated = type == 3;
    constexpr int opaqueBytes = CH == 4 ? 4 : CH - 1;
    const int sourceStep = repeated ? 0 : opaqueBytes;
    for (std::int32_t i = 0; i < n; ++i, s += sourceStep, d += 4) {
        if constexpr (CH == 1) {
            if constexpr (TRANSLUCENT)
                shiftBlendRGB(d, tint, w, 15);
            else
                std::memcpy(d, tint, 4);
        } else if constexpr (CH == 2) {
            const std::uint8_t* c = ramp + 4 * s[0];
            if constexpr (TRANSLUCENT) {
                if (repeated)
                    shiftBlendRGB(d, c, w, 15);
                else
                    blend4(d, c, w);
            } else {
                std::memcpy(d, c, 4);
            }
        } else {
            if constexpr (TRANSLUCENT) {
                blend4(d, s, w);
            } else {
                std::memcpy(d, s, 3);
                d[3] = repeated ? 255 : s[3];
            }
        }
    }
}

template <int CH, bool TRANSLUCENT>
void drawRows(std::uint8_t* pixels, std::int32_t stride, const CImageDraw& record, std::int64_t left, std::int64_t top,
              std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1) noexcept {
    const CImageLayer& layer = *record.layer;
    const std::uint8_t* block = layer.block();
    constexpr std::int32_t opaqueBytes = CH == 4 ? 4 : CH - 1;
    const std::int32_t w = record.weight;
    for (std::int32_t y = y0; y < y1; ++y) {
        const std::int32_t offset = layer.rowOffset(std::int32_t(y - top));
        if (offset == 0)
            continue;
        const std::uint8_t* s = block + offset;
        std::uint8_t* d = pixels + std::int64_t(y) * stride + std::int64_t(x0) * 4;
        std::int64_t skip = x0 - left;
        std::int32_t todo = x1 - x0;
        while (todo > 0) {
            std::uint32_t header = *s++;
            if (header & 4)
                header |= std::uint32_t(*s++) << 8;
            std::int32_t length = std::int32_t(header >> 3);
            const int type = int(header & 3);
            const std::int32_t perPixel = type == 1 ? CH : type == 2 ? opaqueBytes : 0;
            const std::int32_t extra = type == 3 ? opaqueBytes : 0;
            if (skip > 0) {
                if (length <= skip) {
                    s += length * perPixel + extra;
                    skip -= length;
                    continue;
                }
                s += skip * perPixel;
                length -= std::int32_t(skip);
                skip = 0;
            }
            const std::int32_t n = std::min(length, todo);
            if (type != 0)
                drawRun<CH, TRANSLUCENT>(type, s, d, n, w, record.tintTable);
            s += n * perPixel + extra;
            d += 4 * n;
            todo -= n;
        }
    }
}

template <int CH>
void drawRowsOf(std::uint8_t* pixels, std::int32_t stride, const CImageDraw& record, std::int64_t left,
                std::int64_t top, std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1) noexcept {
    if (record.translucent)
        drawRows<CH, true>(pixels, stride, record, left, top, x0, x1, y0, y1);
    else
        drawRows<CH, false>(pixels, stride, record, left, top, x0, x1, y0, y1);
}

} // namespace

void drawImageSpans(std::uint8_t* pixels, std::int32_t stride, const CImageDraw& record, std::int64_t left,
                    std::int64_t top, std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1) noexcept {
    switch (record.channels) {
        case 1: drawRowsOf<1>(pixels, stride, record, left, top, x0, x1, y0, y1); break;
        case 2: drawRowsOf<2>(pixels, stride, record, left, top, x0, x1, y0, y1); break;
        case 4: drawRowsOf<4>(pixels, stride, record, left, top, x0, x1, y0, y1); break;
        default: break;
    }
}

} // namespace tal
