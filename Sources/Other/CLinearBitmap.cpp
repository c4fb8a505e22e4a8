#include "Other/CLinearBitmap.h"

#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CCoverageBuffer.h"
#include "Other/CCurveDraw.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/ImageSpans.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <emmintrin.h>

namespace tal {

CLinearBitmap::~CLinearBitmap() {
    if (mPixels != nullptr)
        poolFree(mPixels);
}

CError* CLinearBitmap::setSize(std::int32_t width, std::int32_t height, bool clear) {
    if (width == mWidth && height == mHeight)
        return nullptr;
    if (mPixels != nullptr)
        poolFree(mPixels);
    mPixels = nullptr;
    mWidth = mHeight = mStride = 0;
    if (width <= 0 || height <= 0)
        return nullptr;
    const std::uint64_t bytes = std::uint64_t(width) * 4u * std::uint64_t(height);
    mPixels = static_cast<std::uint8_t*>(poolAlloc(bytes));
    if (clear)
        std::memset(mPixels, 0, bytes);
    mWidth = width;
    mHeight = height;
    mStride = width * 4;
    return nullptr;
}

std::int32_t CLinearBitmap::weightOf(double fraction) noexcept {
    const double v = fraction * 32768.0;
    if (!(v == v))
        return 0;
    const double r = v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v);
    return std::int32_t(std::clamp(r, -2147483647.0, 2147483647.0));
}

void CLinearBitmap::paintRun(std::uint8_t* p, std::int32_t n, std::int32_t step, const std::uint8_t color[4],
                             std::int32_t weight) noexcept {
    if (weight >= kOpaqueWeight) {
        if (step == 4) {   // a row: four pixels per 16-byte store
            std::int32_t value;
            std::memcpy(&value, color, 4);
            const __m128i four = _mm_set1_epi32(value);
            std::int32_t i = 0;
            for (; i + 4 <= n; i += 4)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i), four);
            for (; i < n; ++i)
                std::memcpy(p + 4 * i, &value, 4);
            return;
        }
        for (std::int32_t i = 0; i < n; ++i, p += step)
            std::memcpy(p, color, 4);
        return;
    }
    for (std::int32_t i = 0; i < n; ++i, p += step)
        for (int c = 0; c < 4; ++c)
            p[c] = blend15(p[c], color[c], weight);
}

bool CLinearBitmap::clipToBitmap(CPixelRect& rect) const noexcept {
    const std::int64_t left = std::max<std::int64_t>(rect.x, 0), top = std::max<std::int64_t>(rect.y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(rect.x) + rect.width, mWidth);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(rect.y) + rect.height, mHeight);
    if (right <= left || bottom <= top || mPixels == nullptr)
        return false;
    rect = CPixelRect{std::int32_t(left), std::int32_t(top), std::int32_t(right - left), std::int32_t(bottom - top)};
    return true;
}

bool CLinearBitmap::clipSpan(std::int32_t x, std::int32_t& y0, std::int32_t& y1, std::int32_t& k0) const noexcept {
    if (mPixels == nullptr || x < 0 || x >= mWidth)
        return false;
    k0 = y0 < 0 ? -y0 : 0;
    y0 = std::max(y0, 0);
    y1 = std::min(y1, mHeight);
    return y1 > y0;
}

void CLinearBitmap::fillRect(const CPixelRect& area, const CColor& color, int index, double opacity) {
    const std::int32_t w = weightOf(opacity * color.opacity());
    if (w < kMinWeight)
        return;
    std::uint8_t c[4] = {255, 255, 255, 255};
    if (index >= 0 && index <= 255 && color.toneTable() != nullptr) {
        std::memcpy(c, color.tone(index), 3);
        c[3] = 255;
    }
    CPixelRect rect = area;
    if (rect.width <= 0 || rect.height <= 0 || !clipToBitmap(rect))
        return;
    for (std::int32_t y = rect.y; y < rect.y + rect.height; ++y)
        paintRun(pixel(rect.x, y), rect.width, 4, c, w);
}

void CLinearBitmap::drawHLine(std::int32_t x0, std::int32_t x1, std::int32_t y, int r, int g, int b, std::int32_t weight) {
    if (x1 < x0 || y < 0 || y >= mHeight || mPixels == nullptr)
        return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, mWidth - 1);
    if (x1 < x0)
        return;
    const std::uint8_t c[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
    paintRun(pixel(x0, y), x1 - x0 + 1, 4, c, weight);
}

void CLinearBitmap::drawVLine(std::int32_t x, std::int32_t y0, std::int32_t y1, int r, int g, int b, std::int32_t weight) {
    if (y1 < y0 || x < 0 || x >= mWidth || mPixels == nullptr)
        return;
    y0 = std::max(y0, 0);
    y1 = std::min(y1, mHeight - 1);
    if (y1 < y0)
        return;
    const std::uint8_t c[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
    paintRun(pixel(x, y0), y1 - y0 + 1, mStride, c, weight);
}

void CLinearBitmap::xorRect(const CPixelRect& area, int a, int r, int g, int b) {
    CPixelRect rect = area;
    if (!clipToBitmap(rect))
        return;
    const std::uint8_t pattern[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), std::uint8_t(a)};
    for (std::int32_t y = rect.y; y < rect.y + rect.height; ++y) {
        std::uint8_t* p = pixel(rect.x, y);
        for (std::int32_t i = 0; i < rect.width * 4; ++i)
            p[i] ^= pattern[i & 3];
    }
}

void CLinearBitmap::lighten() {
    for (std::int32_t y = 0; y < mHeight; ++y) {
        std::uint8_t* p = pixel(0, y);
        for (std::int32_t i = 0; i < mWidth * 4; ++i)
            if (p[i] <= 239)
                p[i] = std::uint8_t(p[i] + 16);
    }
}

bool CLinearBitmap::takeSizeOf(const CLinearBitmap& source) {
    if (source.mWidth != mWidth || source.mHeight != mHeight) {
        if (CError* err = setSize(source.mWidth, source.mHeight, false)) {
            delete err;
            return false;
        }
    }
    return mPixels != nullptr && source.mPixels != nullptr;
}

void CLinearBitmap::copyFrom(const CLinearBitmap& source) {
    if (!takeSizeOf(source))
        return;
    if (source.mStride == mStride) {
        std::memcpy(mPixels, source.mPixels, std::size_t(mStride) * std::size_t(mHeight));
        return;
    }
    for (std::int32_t y = 0; y < mHeight; ++y)
        std::memcpy(pixel(0, y), source.pixel(0, y), std::size_t(mWidth) * 4);
}

void CLinearBitmap::copyRect(const CLinearBitmap& source, const CPixelRect& area) {
    if (!takeSizeOf(source))
        return;
    CPixelRect rect = area;
    if (!clipToBitmap(rect))
        return;
    if (source.mStride == mStride && rect.width == mWidth && rect.height == mHeight) {
        std::memcpy(mPixels, source.mPixels, std::size_t(mStride) * std::size_t(mHeight));
        return;
    }
    if (rect.width <= 0)
        return;
    for (std::int32_t y = rect.y; y < rect.y + rect.height; ++y)
        std::memcpy(pixel(rect.x, y), source.pixel(rect.x, y), std::size_t(rect.width) * 4);
}

void CLinearBitmap::copyRectOffset(const CLinearBitmap& source, std::int32_t dx, std::int32_t dy, const CPixelRect& rect) {
    std::int64_t left = std::int64_t(rect.x) + dx, top = std::int64_t(rect.y) + dy;
    std::int64_t right = left + rect.width, bottom = top + rect.height;
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, mWidth);
    bottom = std::min<std::int64_t>(bottom, mHeight);
    if (right <= left || bottom <= top || mPixels == nullptr || source.mPixels == nullptr)
        return;
    for (std::int64_t y = top; y < bottom; ++y)
        std::memcpy(pixel(std::int32_t(left), std::int32_t(y)),
                    source.pixel(std::int32_t(left - dx), std::int32_t(y - dy)), std::size_t(right - left) * 4);
}

namespace {

// p[i] becomes p[i] + (((s[i] - p[i]) x w + 16384) >> 15) for n bytes, w below 32640; the result
// lies between p[i] and s[i], so no clamp is needed. Sixteen bytes at a time: (d, 1) pairs times
// (w, 16384) pairs give d x w + 16384 in each 32-bit lane.
void blendBytes(std::uint8_t* p, const std::uint8_t* s, std::int32_t n, std::int32_t w) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1);
    const __m128i weights = _mm_set1_epi32(std::int32_t((16384u << 16) | std::uint32_t(w)));
    std::int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i pv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i pLow = _mm_unpacklo_epi8(pv, zero), pHigh = _mm_unpackhi_epi8(pv, zero);
        const __m128i dLow = _mm_sub_epi16(_mm_unpacklo_epi8(sv, zero), pLow);
        const __m128i dHigh = _mm_sub_epi16(_mm_unpackhi_epi8(sv, zero), pHigh);
        const __m128i q0 = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(dLow, one), weights), 15);
        const __m128i q1 = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(dLow, one), weights), 15);
        const __m128i q2 = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(dHigh, one), weights), 15);
        const __m128i q3 = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(dHigh, one), weights), 15);
        const __m128i low = _mm_add_epi16(pLow, _mm_packs_epi32(q0, q1));
        const __m128i high = _mm_add_epi16(pHigh, _mm_packs_epi32(q2, q3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), _mm_packus_epi16(low, high));
    }
    for (; i < n; ++i) p[i] = CLinearBitmap::blend15(p[i], s[i], w);
}

} // namespace

void CLinearBitmap::blendRect(const CLinearBitmap& source, const CPixelRect& area, double opacity) {
    if (area.width <= 0 || source.mWidth != mWidth || source.mHeight != mHeight)
        return;
    CPixelRect rect = area;
    if (source.mPixels == nullptr || !clipToBitmap(rect))
        return;
    const std::int32_t w = weightOf(opacity);
    if (w < kMinWeight)
        return;
    if (w >= kOpaqueWeight) {
        copyRect(source, rect);
        return;
    }
    for (std::int32_t y = rect.y; y < rect.y + rect.height; ++y)
        blendBytes(pixel(rect.x, y), source.pixel(rect.x, y), rect.width * 4, w);
}

void CLinearBitmap::blendFrom(const CLinearBitmap& source, double opacity) {
    if (source.mWidth != mWidth || source.mHeight != mHeight || mWidth <= 0)
        return;
    const std::int32_t w = weightOf(opacity);
    if (w < kMinWeight)
        return;
    if (w >= kOpaqueWeight) {
        copyFrom(source);
        return;
    }
    blendRect(source, CPixelRect{0, 0, mWidth, mHeight}, opacity);
}

void CLinearBitmap::rasterise(const CCurveDraw& record, const double* points, std::int32_t count, std::int32_t originX,
                              std::int32_t originY, const CPixelRect& clip) {
    if (record.brush == nullptr || record.color == nullptr || count < 2 || mPixels == nullptr)
        return;
    if (!mCoverage)
        mCoverage = std::make_unique<CCoverageBuffer>();
    mCoverage->resize(mWidth, mHeight);
    mCoverage->addPolyline(points, count, *record.brush, originX, originY);
    mCoverage->fillPixels(*this, clip, *record.color, record.rampIndex, record.opacity);
}

void CLinearBitmap::drawCurveAA(const CCurveDraw& record, std::int32_t originX, std::int32_t originY,
                                const CPixelRect& clip) {
    rasterise(record, record.points, record.count, originX, originY, clip);
}

void CLinearBitmap::drawColumnCurveAA(const CCurveDraw& record, std::int32_t originX, std::int32_t originY,
                                      const CPixelRect& clip) {
    if (record.brush == nullptr || record.count < 2 || record.points == nullptr || !std::isfinite(record.points[0]))
        return;
    const std::int64_t k = record.brush->size();
    const std::int64_t f = std::int64_t(std::floor(record.points[0]));
    const std::int64_t limit = k + clip.x + clip.width - originX;
    if (f >= limit)
        return;
    const double* points = record.points;
    std::int64_t count = record.count;
    const std::int64_t leftmost = clip.x - originX - k;
    if (f < leftmost) {
        const std::int64_t drop = leftmost - f;
        if (count - drop < 2)
            return;
        points += 2 * drop;
        count -= drop;
        if (leftmost + count > limit)
            count = clip.width + 2 * k;
    } else if (f + count > limit) {
        count = limit - f;
    }
    if (count < 2)
        return;
    rasterise(record, points, std::int32_t(count), originX, originY, clip);
}

namespace {

// R, G, B of a record's colour: its ramp entry when there is one, else white.
void recordColor(const CCurveDraw& record, std::uint8_t c[4]) {
    c[0] = c[1] = c[2] = c[3] = 255;
    if (record.color != nullptr && record.rampIndex <= 255 && record.color->toneTable() != nullptr)
        std::memcpy(c, record.color->tone(int(record.rampIndex)), 3);
}

// p + floor((s - p) x m / 2^15): the shift blend of the pixel-exact routines.
std::uint8_t shiftBlend15(int p, int s, std::int32_t m) noexcept {
    return std::uint8_t(p + int(std::floor(double(s - p) * m / 32768.0)));
}

} // namespace

template <class Plot>
void CLinearBitmap::walkLine(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Plot draw) {
    // Pixels outside the bitmap are dropped.
    auto plot = [&](std::int32_t x, std::int32_t y) {
        if (std::uint32_t(x) < std::uint32_t(mWidth) && std::uint32_t(y) < std::uint32_t(mHeight))
            draw(x, y);
    };
    const std::int32_t dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y1 - y0 : y0 - y1;
    const std::int32_t sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
    std::int32_t x = x0, y = y0;
    plot(x, y);
    // Steps the major axis one pixel at a time; the error term decides the minor axis.
    const bool xMajor = dx > dy;
    const std::int32_t dMajor = xMajor ? dx : dy, dMinor = xMajor ? dy : dx;
    const std::int32_t sMajor = xMajor ? sx : sy, sMinor = xMajor ? sy : sx;
    std::int32_t& major = xMajor ? x : y;
    std::int32_t& minor = xMajor ? y : x;
    const std::int32_t end = xMajor ? x1 : y1, lastLine = (xMajor ? mWidth : mHeight) - 1;
    const bool endOnEdge = end == 0 || end == lastLine;
    std::int32_t e = 2 * dMinor - dMajor;
    for (std::int32_t k = 1; k <= dMajor; ++k) {
        if (e >= 0) {
            minor += sMinor;
            e -= 2 * dMajor;
        }
        e += 2 * dMinor;
        major += sMajor;
        if (k < dMajor || endOnEdge)
            plot(x, y);
    }
}

void CLinearBitmap::drawLineSolid(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, int r, int g, int b) {
    const std::uint8_t c[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
    walkLine(x0, y0, x1, y1, [&](std::int32_t x, std::int32_t y) { std::memcpy(pixel(x, y), c, 4); });
}

void CLinearBitmap::drawLineBlend(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, int r, int g, int b,
                                  std::int32_t weight) {
    const int c[3] = {r, g, b};
    walkLine(x0, y0, x1, y1, [&](std::int32_t x, std::int32_t y) {
        std::uint8_t* p = pixel(x, y);
        for (int k = 0; k < 3; ++k)
            p[k] = shiftBlend15(p[k], c[k], weight);
    });
}

void CLinearBitmap::drawPixelCurve(const CCurveDraw& record, std::int32_t originX, std::int32_t originY,
                                   const CPixelRect& clip) {
    if (record.points == nullptr || record.count < 2 || mPixels == nullptr)
        return;
    const double box[4] = {clip.x + 1e-5, clip.y + 1e-5, clip.x + clip.width - 1e-5, clip.y + clip.height - 1e-5};
    std::uint8_t c[4];
    recordColor(record, c);
    const std::int32_t v = weightOf(record.opacity);
    bool accepted = false;
    std::int32_t endX = 0, endY = 0;
    for (std::int32_t i = 0; i + 1 < record.count; ++i) {
        double x0 = record.points[2 * i] + originX, y0 = record.points[2 * i + 1] + originY;
        double x1 = record.points[2 * i + 2] + originX, y1 = record.points[2 * i + 3] + originY;
        accepted = std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1)
                   && !CCoverageBuffer::clipSegment(box, x0, y0, x1, y1);
        if (!accepted)
            continue;
        const std::int32_t ax = std::int32_t(std::floor(x0)), ay = std::int32_t(std::floor(y0));
        endX = std::int32_t(std::floor(x1));
        endY = std::int32_t(std::floor(y1));
        if (v >= kOpaqueWeight)
            drawLineSolid(ax, ay, endX, endY, c[0], c[1], c[2]);
        else
            drawLineBlend(ax, ay, endX, endY, c[0], c[1], c[2], v);
    }
    if (accepted && std::uint32_t(endX) < std::uint32_t(mWidth) && std::uint32_t(endY) < std::uint32_t(mHeight)) {
        std::uint8_t* p = pixel(endX, endY);
        for (int k = 0; k < 3; ++k)
            p[k] = v >= kOpaqueWeight ? c[k] : shiftBlend15(p[k], c[k], v);
    }
}

namespace {

// The points of a one-point-per-column polyline that can reach the clip: at most one column left
// of it and one beyond. Returns false when fewer than 2 points remain.
bool cullColumns(const CCurveDraw& record, std::int32_t originX, const CPixelRect& clip, std::int64_t& first,
                 std::int64_t& count) {
    if (record.points == nullptr || record.count < 2 || !std::isfinite(record.points[0]))
        return false;
    const std::int64_t f = std::int64_t(std::floor(record.points[0]));
    const std::int64_t limit = std::int64_t(clip.x) + clip.width - originX + 1;
    if (f >= limit)
        return false;
    first = 0;
    count = record.count;
    const std::int64_t leftmost = std::int64_t(clip.x) - originX - 1;
    if (f < leftmost) {
        first = leftmost - f;
        count -= first;
        if (count < 2)
            return false;
        if (leftmost + count > limit)
            count = clip.width + 2;
    } else if (f + count > limit) {
        count = limit - f;
    }
    return count >= 2;
}

// The vertical runs of a column curve: each column's run reaches halfway to its neighbours' rows.
class CColumnRuns {
public:
    CColumnRuns(const double* points, std::int64_t count, std::int32_t originY)
        : mPoints(points), mCount(count), mOriginY(originY) {
        mHandedTop = mHandedBottom = rowOf(0);
    }
    // The run of point i (called for i = 0, 1, ... in order): rows top..bottom, not clipped.
    void next(std::int64_t i, std::int64_t& top, std::int64_t& bottom) {
        const std::int64_t yi = rowOf(i);
        const std::int64_t yn = i + 1 < mCount ? rowOf(i + 1) : yi;
        std::int64_t partTop = yi, partBottom = yi, nextTop = yi, nextBottom = yi;
        if (yn > yi) {
            const std::int64_t h = (yn - yi + 1) >> 1;
            partBottom = yi + h - 1;
            nextTop = yi + h;
            nextBottom = yn;
        } else if (yn < yi) {
            const std::int64_t h = (yi - yn + 1) >> 1;
            partTop = yi - h + 1;
            nextTop = yn;
            nextBottom = yi - h;
        }
        top = std::min(partTop, mHandedTop);
        bottom = std::max(partBottom, mHandedBottom);
        mHandedTop = nextTop;
        mHandedBottom = nextBottom;
    }
    std::int64_t rowOf(std::int64_t i) const {
        const double y = mPoints[2 * i + 1] + 0.5;
        return std::int64_t(std::isfinite(y) ? std::trunc(std::clamp(y, -1e9, 1e9)) : 0.0) + mOriginY;
    }

private:
    const double* mPoints;
    std::int64_t mCount;
    std::int32_t mOriginY;
    std::int64_t mHandedTop = 0, mHandedBottom = 0;
};

std::int32_t nearestWeight(double v) noexcept {
    const double r = v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v);
    return std::int32_t(std::clamp(r, -2147483647.0, 2147483647.0));
}

} // namespace

void CLinearBitmap::drawColumnCurve(const CCurveDraw& record, std::int32_t originX, std::int32_t originY,
                                    const CPixelRect& clip) {
    std::int64_t first = 0, count = 0;
    if (mPixels == nullptr || !cullColumns(record, originX, clip, first, count))
        return;
    const double* points = record.points + 2 * first;
    std::uint8_t c[4];
    recordColor(record, c);
    const std::int32_t v = weightOf(record.opacity);
    CColumnRuns runs(points, count, originY);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t column = std::int64_t(std::floor(points[2 * i])) + originX;
        if (column >= std::int64_t(clip.x) + clip.width)
            break;
        std::int64_t top, bottom;
        runs.next(i, top, bottom);
        if (column < clip.x || column < 0 || column >= mWidth)
            continue;
        top = std::max<std::int64_t>({top, clip.y, 0});
        bottom = std::min<std::int64_t>({bottom, std::int64_t(clip.y) + clip.height - 1, mHeight - 1});
        for (std::int64_t y = top; y <= bottom; ++y) {
            std::uint8_t* p = pixel(std::int32_t(column), std::int32_t(y));
            if (v >= kOpaqueWeight)
                std::memcpy(p, c, 4);
            else
                for (int k = 0; k < 4; ++k)
                    p[k] = blend15(p[k], c[k], v);
        }
    }
}

void CLinearBitmap::fillColumnArea(const CCurveDraw& record, std::int32_t originX, std::int32_t originY,
                                   const CPixelRect& clip) {
    std::int64_t first = 0, count = 0;
    if (mPixels == nullptr || clip.height <= 0 || !cullColumns(record, originX, clip, first, count))
        return;
    const bool lower = record.lowerCurve && record.lowerPoints != nullptr;
    const double* points = record.points + 2 * first;
    std::uint8_t c[4];
    recordColor(record, c);
    const std::int32_t v = weightOf(record.opacity);
    const std::int32_t ch = clip.height;
    const std::int64_t bottomEdge = std::int64_t(clip.y) + ch;   // O

    // The gradient profile: E at the area's top and bottom, K at the peak row.
    const double e = record.edgeFactor, kf = record.peakFactor, fp = record.peakPosition;
    const double ha = record.areaHeight;
    const double slope1 = fp > 0.0 ? (kf - e) / (ha * fp) : 0.0;
    const double slope2 = fp < 1.0 ? (e - kf) / ((1.0 - fp) * ha) : 0.0;
    const std::int64_t peak = nearestWeight(double(originY - clip.y) + record.areaTop + ha * fp);
    const std::int64_t peakInClip = std::clamp<std::int64_t>(peak, 0, ch);
    mScratch.resize(std::max<std::size_t>(mScratch.size(), std::size_t(ch)));
    double factor = kf - (peak < 0 ? slope2 : slope1) * double(peak);
    const bool alphaMode = record.alphaTableMode;
    for (std::int32_t r = 0; r < ch; ++r) {
        if (alphaMode) {
            mScratch[std::size_t(r)] = std::uint32_t(std::clamp(nearestWeight(factor * record.opacity * 32768.0), 0, 32767));
        } else {
            std::uint8_t px[4] = {255, 255, 255, 255};
            for (int k = 0; k < 3; ++k)
                px[k] = std::uint8_t(std::clamp(nearestWeight(factor * c[k]), 0, 255));
            std::memcpy(&mScratch[std::size_t(r)], px, 4);
        }
        factor += r < peakInClip ? slope1 : slope2;
    }
    const std::int32_t fadeMax = alphaMode ? 32767 : std::clamp(v, 0, 32767);
    const std::int64_t peakRow = clip.y + peakInClip;   // Rp

    // The table entries from bitmap row y on.
    auto tableAt = [&](std::int64_t y) { return mScratch.data() + (y - clip.y); };

    CColumnRuns upper(points, count, originY);
    std::unique_ptr<CColumnRuns> lowerRuns;
    if (lower)
        lowerRuns = std::make_unique<CColumnRuns>(record.lowerPoints + 2 * first, count, originY);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t column64 = std::int64_t(std::floor(points[2 * i])) + originX;
        if (column64 >= std::int64_t(clip.x) + clip.width)
            break;
        std::int64_t top, bottom, lowTop = 0, lowBottom = 0;
        upper.next(i, top, bottom);
        if (lowerRuns)
            lowerRuns->next(i, lowTop, lowBottom);
        if (column64 < clip.x)
            continue;
        const std::int32_t column = std::int32_t(column64);
        std::int64_t p = top, q = bottom - top + 1;
        const std::int64_t el = lowTop, ll = lowBottom - lowTop + 1;
        const bool above = upper.rowOf(i) < peakRow;

        if (record.edgeFade) {
            q += 1;
            if (above)
                p -= 1;
            if (p < bottomEdge && p + q >= clip.y) {
                const std::int64_t step = fadeMax / q;
                const bool rising = p < peakRow;
                const std::int64_t from = std::max<std::int64_t>(p, clip.y);
                const std::int64_t to = std::min<std::int64_t>(p + q, bottomEdge);
                const std::int64_t start = rising ? step * (from - p) : fadeMax - step * (from - p);
                const std::int32_t delta = std::int32_t(rising ? step : -step);
                if (from < to) {
                    if (alphaMode)
                        spanAlphaTableRamp(tableAt(from), std::int32_t(start), delta, c[0], c[1], c[2], column,
                                           std::int32_t(from), std::int32_t(to));
                    else
                        spanColourTableRamp(tableAt(from), std::int32_t(start), delta, column, std::int32_t(from),
                                            std::int32_t(to));
                }
            }
        }

        if (alphaMode && !lower) {
            const std::int64_t from = above ? std::max<std::int64_t>(p + q, clip.y) : peakRow;
            const std::int64_t to = above ? peakRow : std::min<std::int64_t>(p + 1, bottomEdge);
            if (from < to)
                spanAlphaTable(tableAt(from), c[0], c[1], c[2], column, std::int32_t(from), std::int32_t(to));
        } else if (alphaMode) {
            const bool curveFirst = p <= el;
            const std::int64_t start = curveFirst ? p + 1 : el + 1;
            const std::int64_t end = curveFirst ? el + ll : p + q;
            const double fromF = curveFirst ? kf : e, toF = curveFirst ? e : kf;
            std::int64_t d = end - start - 1;
            if (d < 2)
                d = 1;
            const double s = (toF - fromF) / double(d);
            const std::int64_t m0 = std::max<std::int64_t>(start, clip.y), m1 = std::min(end, bottomEdge);
            if (start >= bottomEdge || m0 >= m1)
                continue;
            const double vc = std::clamp(v, 0, 32767);
            const std::int32_t w0 = std::clamp(nearestWeight((fromF + double(m0 - start) * s) * vc), 0, 32767);
            const std::int32_t w1 = std::clamp(nearestWeight((fromF + double(m1 - start) * s) * vc), 0, 32767);
            spanRamp(w0, w1, c[0], c[1], c[2], column, std::int32_t(m0), std::int32_t(m1));
        } else {
            std::int64_t from, to;
            if (!lower) {
                from = p + q;
                to = bottomEdge;
            } else if (el < p) {
                from = el + 1;
                to = p + q;
            } else {
                from = p + 1;
                to = el + ll;
            }
            from = std::max<std::int64_t>(from, clip.y);
            to = std::min(to, bottomEdge);
            if (from < to)
                spanColourTable(tableAt(from), v >= kOpaqueWeight ? v : fadeMax, column, std::int32_t(from),
                                std::int32_t(to));
        }
    }
}

void CLinearBitmap::spanAlphaTableRamp(const std::uint32_t* table, std::int32_t start, std::int32_t step, int r, int g,
                                       int b, std::int32_t x, std::int32_t y0, std::int32_t y1) {
    std::int32_t k0 = 0;
    if (!clipSpan(x, y0, y1, k0))
        return;
    const std::uint8_t c[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
    for (std::int32_t y = y0, k = k0; y < y1; ++y, ++k) {
        const std::int64_t a = std::clamp<std::int64_t>(std::int64_t(start) + std::int64_t(k) * step, 0, 32767);
        const std::int32_t w = std::int32_t((std::int64_t(table[k]) * a) >> 15);
        std::uint8_t* p = pixel(x, y);
        for (int i = 0; i < 4; ++i)
            p[i] = blend15(p[i], c[i], w);
    }
}

void CLinearBitmap::spanColourTableRamp(const std::uint32_t* table, std::int32_t start, std::int32_t step,
                                        std::int32_t x, std::int32_t y0, std::int32_t y1) {
    std::int32_t k0 = 0;
    if (!clipSpan(x, y0, y1, k0))
        return;
    for (std::int32_t y = y0, k = k0; y < y1; ++y, ++k) {
        const std::int32_t w = std::int32_t(std::clamp<std::int64_t>(std::int64_t(start) + std::int64_t(k) * step, 0, 32767));
        std::uint8_t c[4];
        std::memcpy(c, &table[k], 4);
        std::uint8_t* p = pixel(x, y);
        for (int i = 0; i < 4; ++i)
            p[i] = blend15(p[i], c[i], w);
    }
}

void CLinearBitmap::spanRamp(std::int32_t from, std::int32_t to, int r, int g, int b, std::int32_t x, std::int32_t y0,
                             std::int32_t y1) {
    const std::int64_t rows = std::int64_t(y1) - y0;
    std::int32_t k0 = 0;
    if (!clipSpan(x, y0, y1, k0))
        return;
    const std::int64_t step = (std::int64_t(to) - from) / (rows > 1 ? rows - 1 : 1);
    const std::uint8_t c[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
    for (std::int32_t y = y0, k = k0; y < y1; ++y, ++k) {
        const std::int32_t w = std::int32_t(std::clamp<std::int64_t>(from + std::int64_t(k) * step, 0, 32767));
        std::uint8_t* p = pixel(x, y);
        for (int i = 0; i < 4; ++i)
            p[i] = blend15(p[i], c[i], w);
    }
}

namespace {

// blend15 on all four bytes of two pixels at once, each with its own weight (0..32767), c16 the
// colour as 16-bit lanes twice. SSE2 has no rounding 16-bit multiply, so the product 2(c - p)w is
// taken as its high half plus the top bit of its low half: (2(c - p)w + 32768) >> 16, which is
// ((c - p)w + 16384) >> 15 exactly.
inline void blendTwo15(std::uint8_t* a, std::uint8_t* b, __m128i c16, std::int32_t wa, std::int32_t wb) noexcept {
    std::int32_t pa, pb;
    std::memcpy(&pa, a, 4);
    std::memcpy(&pb, b, 4);
    const __m128i px = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(pa), _mm_cvtsi32_si128(pb)),
                                         _mm_setzero_si128());
    const __m128i d2 = _mm_slli_epi16(_mm_sub_epi16(c16, px), 1);
    const __m128i w = _mm_unpacklo_epi64(_mm_set1_epi16(std::int16_t(wa)), _mm_set1_epi16(std::int16_t(wb)));
    const __m128i step = _mm_add_epi16(_mm_mulhi_epi16(d2, w), _mm_srli_epi16(_mm_mullo_epi16(d2, w), 15));
    const __m128i packed = _mm_packus_epi16(_mm_add_epi16(px, step), _mm_setzero_si128());
    pa = _mm_cvtsi128_si32(packed);
    pb = _mm_cvtsi128_si32(_mm_srli_si128(packed, 4));
    std::memcpy(a, &pa, 4);
    std::memcpy(b, &pb, 4);
}

} // namespace

void CLinearBitmap::spanAlphaTable(const std::uint32_t* table, int r, int g, int b, std::int32_t x, std::int32_t y0,
                                   std::int32_t y1) {
    std::int32_t k0 = 0;
    if (!clipSpan(x, y0, y1, k0))
        return;
    const std::uint8_t c[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
    // Two rows at a time; the last odd row on its own.
    const __m128i c16 = _mm_setr_epi16(std::int16_t(r), std::int16_t(g), std::int16_t(b), 255, std::int16_t(r),
                                       std::int16_t(g), std::int16_t(b), 255);
    std::uint8_t* p = pixel(x, y0);
    for (; y0 + 1 < y1; y0 += 2, k0 += 2, p += 2 * std::int64_t(mStride))
        blendTwo15(p, p + mStride, c16, std::int32_t(std::min<std::uint32_t>(table[k0], 32767)),
                   std::int32_t(std::min<std::uint32_t>(table[k0 + 1], 32767)));
    for (std::int32_t y = y0, k = k0; y < y1; ++y, ++k) {
        const std::int32_t w = std::int32_t(std::min<std::uint32_t>(table[k], 32767));
        std::uint8_t* p = pixel(x, y);
        for (int i = 0; i < 4; ++i)
            p[i] = blend15(p[i], c[i], w);
    }
}

void CLinearBitmap::spanColourTable(const std::uint32_t* table, std::int32_t weight, std::int32_t x, std::int32_t y0,
                                    std::int32_t y1) {
    std::int32_t k0 = 0;
    if (!clipSpan(x, y0, y1, k0) || weight <= 0)
        return;
    for (std::int32_t y = y0, k = k0; y < y1; ++y, ++k) {
        std::uint8_t* p = pixel(x, y);
        if (weight >= kOpaqueWeight) {
            std::memcpy(p, &table[k], 4);
            continue;
        }
        std::uint8_t c[4];
        std::memcpy(c, &table[k], 4);
        for (int i = 0; i < 4; ++i)
            p[i] = blend15(p[i], c[i], weight);
    }
}

void CLinearBitmap::drawImage(const CImageDraw& record, std::int32_t x, std::int32_t y, const CPixelRect& clip) {
    const CImageLayer* layer = record.layer;
    if (record.weight <= 0 || layer == nullptr || !layer->isPrepared() || layer->channels() != record.channels ||
        mPixels == nullptr)
        return;
    if (record.channels != 4 && record.tintTable == nullptr)
        return;
    const std::int64_t left = std::int64_t(x) + record.offsetX, top = std::int64_t(y) + record.offsetY;
    const std::int64_t width = std::min(record.width, layer->width()), height = std::min(record.height, layer->height());
    const std::int64_t x0 = std::max<std::int64_t>({left, clip.x, 0});
    const std::int64_t x1 = std::min<std::int64_t>({left + width, std::int64_t(clip.x) + clip.width, mWidth});
    const std::int64_t y0 = std::max<std::int64_t>({top, clip.y, 0});
    const std::int64_t y1 = std::min<std::int64_t>({top + height, std::int64_t(clip.y) + clip.height, mHeight});
    if (x0 >= x1 || y0 >= y1)
        return;
    drawImageSpans(mPixels, mStride, record, left, top, std::int32_t(x0), std::int32_t(x1), std::int32_t(y0),
                   std::int32_t(y1));
}

} // namespace tal
