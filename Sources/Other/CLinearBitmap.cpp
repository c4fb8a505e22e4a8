#include "Other/CLinearBitmap.h"

#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CCoverageBuffer.h"
#include "Other/CCurveDraw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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
        for (std::int32_t i = 0; i < n; ++i, p += step)
            std::memcpy(p, color, 4);
        return;
    }
    for (std::int32_t i = 0; i < n; ++i, p += step)
        for (int c = 0; c < 4; ++c)
            p[c] = blend15(p[c], color[c], weight);
}

void CLinearBitmap::fillRect(const CPixelRect& rect, const CColor& color, int index, double opacity) {
    const std::int32_t w = weightOf(opacity * color.opacity());
    if (w < kMinWeight)
        return;
    std::uint8_t c[4] = {255, 255, 255, 255};
    if (index >= 0 && index <= 255 && color.toneTable() != nullptr) {
        std::memcpy(c, color.tone(index), 3);
        c[3] = 255;
    }
    if (rect.width <= 0 || rect.height <= 0)
        return;
    for (std::int32_t y = rect.y; y < rect.y + rect.height; ++y)
        paintRun(pixel(rect.x, y), rect.width, 4, c, w);
}

void CLinearBitmap::drawHLine(std::int32_t x0, std::int32_t x1, std::int32_t y, int r, int g, int b, std::int32_t weight) {
    if (x1 < x0)
        return;
    const std::uint8_t c[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
    paintRun(pixel(x0, y), x1 - x0 + 1, 4, c, weight);
}

void CLinearBitmap::drawVLine(std::int32_t x, std::int32_t y0, std::int32_t y1, int r, int g, int b, std::int32_t weight) {
    if (y1 < y0)
        return;
    const std::uint8_t c[4] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), 255};
    paintRun(pixel(x, y0), y1 - y0 + 1, mStride, c, weight);
}

void CLinearBitmap::xorRect(const CPixelRect& rect, int a, int r, int g, int b) {
    if (rect.width <= 0 || rect.height <= 0)
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

void CLinearBitmap::copyRect(const CLinearBitmap& source, const CPixelRect& rect) {
    if (!takeSizeOf(source))
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

void CLinearBitmap::blendRect(const CLinearBitmap& source, const CPixelRect& rect, double opacity) {
    if (rect.width <= 0 || source.mWidth != mWidth || source.mHeight != mHeight)
        return;
    const std::int32_t w = weightOf(opacity);
    if (w < kMinWeight)
        return;
    if (w >= kOpaqueWeight) {
        copyRect(source, rect);
        return;
    }
    for (std::int32_t y = rect.y; y < rect.y + rect.height; ++y) {
        std::uint8_t* p = pixel(rect.x, y);
        const std::uint8_t* s = source.pixel(rect.x, y);
        for (std::int32_t i = 0; i < rect.width * 4; ++i)
            p[i] = blend15(p[i], s[i], w);
    }
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

} // namespace tal
