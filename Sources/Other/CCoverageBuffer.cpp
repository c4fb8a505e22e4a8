#include "Other/CCoverageBuffer.h"

#include "Core/CMemPool.h"
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CLinearBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tal {

namespace {

constexpr double kOne = 1048576.0;   // 1.0 in 20-bit fixed point

std::int32_t nearestInt(double v) noexcept {
    return std::int32_t(v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v));
}

std::int64_t nearestInt64(double v) noexcept {
    return std::int64_t(v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v));
}

// A clipped coordinate in fixed point (the clip box keeps it well inside 64 bits).
std::int64_t fixedFloor(double v) noexcept { return std::int64_t(std::floor(v * kOne)); }

} // namespace

CCoverageBuffer::~CCoverageBuffer() {
    if (mBlock != nullptr)
        poolFree(mBlock);
}

void CCoverageBuffer::resize(std::int32_t width, std::int32_t height) {
    if (mBlock != nullptr && width == mWidth && height == mHeight)
        return;
    if (mBlock != nullptr)
        poolFree(mBlock);
    mBlock = nullptr;
    mWidth = width;
    mHeight = height;
    // Rows are kept 4-byte aligned for their two header words.
    mRowStride = (width + 40 + 3) & ~3;
    if (width <= 0 || height <= 0)
        return;
    mBlock = static_cast<std::uint8_t*>(poolAlloc(std::uint64_t(mRowStride) * std::uint64_t(height + 32)));
}

bool CCoverageBuffer::clipSegment(const double box[4], double& x0, double& y0, double& x1, double& y1) noexcept {
    auto code = [box](double x, double y) {
        return (x < box[0] ? 8 : 0) | (x > box[2] ? 4 : 0) | (y < box[1] ? 2 : 0) | (y > box[3] ? 1 : 0);
    };
    double ax = x0, ay = y0, bx = x1, by = y1;
    int ca = code(ax, ay), cb = code(bx, by);
    for (;;) {
        if ((ca | cb) == 0) {
            x0 = ax;
            y0 = ay;
            x1 = bx;
            y1 = by;
            return false;
        }
        if ((ca & cb) != 0)
            return true;
        // Moves the first point while it is outside, then the second.
        const bool first = ca != 0;
        double& x = first ? ax : bx;
        double& y = first ? ay : by;
        const double ox = first ? bx : ax, oy = first ? by : ay;
        int& c = first ? ca : cb;
        if (c & 8 || c & 4) {
            const double edge = (c & 8) ? box[0] : box[2];
            y += (edge - x) * (oy - y) / (ox - x);
            x = edge;
            c = (y < box[1] ? 2 : 0) | (y > box[3] ? 1 : 0);
        } else {
            const double edge = (c & 2) ? box[1] : box[3];
            x += (ox - x) * (edge - y) / (oy - y);
            y = edge;
            c = (x < box[0] ? 8 : 0) | (x > box[2] ? 4 : 0);
        }
    }
}

void CCoverageBuffer::stampLine(std::int64_t x, std::int64_t y, std::int64_t stepX, std::int64_t stepY,
                                std::int32_t steps) noexcept {
    if (steps < 1 || mSize < 1 || mBlock == nullptr)
        return;
    const std::int32_t size = mSize;
    for (std::int32_t i = 0; i < steps; ++i, x += stepX, y += stepY) {
        const std::int32_t u = std::int32_t(x >> 20), v = std::int32_t(y >> 20);
        const std::int32_t px = std::int32_t(x >> mPhaseShift) & mPhaseMask, py = std::int32_t(y >> mPhaseShift) & mPhaseMask;
        const std::uint8_t* stamp = mMask + size * (px + (size << mSubPixelBits) * py);
        for (std::int32_t r = 0; r < size; ++r, stamp += mMaskStride) {
            std::int32_t* header = rowHeader(v + r);
            std::uint8_t* bytes = rowBytes(v + r);
            std::int32_t& first = header[0];
            std::int32_t& end = header[1];
            if (first < 0) {
                first = u;
                end = u + size;
                std::memcpy(bytes + u, stamp, std::size_t(size));
            } else if (u < first) {
                if (u + 1 < first)
                    std::memset(bytes + u + 1, 0, std::size_t(first - u - 1));
                first = u;
                bytes[u] = stamp[0];
                for (std::int32_t k = 1; k < size; ++k)
                    bytes[u + k] = std::max(bytes[u + k], stamp[k]);
            } else if (u + size > end && u >= end) {
                std::memset(bytes + end, 0, std::size_t(u - end));
                end = u + size;
                std::memcpy(bytes + u, stamp, std::size_t(size));
            } else if (u + size > end) {
                const std::int32_t oldEnd = end;
                end = u + size;
                for (std::int32_t k = 0; k < oldEnd - u; ++k)
                    bytes[u + k] = std::max(bytes[u + k], stamp[k]);
                std::memcpy(bytes + oldEnd, stamp + (oldEnd - u), std::size_t(u + size - oldEnd));
            } else {
                for (std::int32_t k = 0; k < size; ++k)
                    bytes[u + k] = std::max(bytes[u + k], stamp[k]);
            }
        }
    }
}

void CCoverageBuffer::addPolyline(const double* points, std::int32_t count, const CBrush& brush, std::int32_t originX,
                                  std::int32_t originY) {
    mMask = brush.masks();
    mSize = brush.size();
    mSubPixelBits = brush.subPixelBits();
    mMaskStride = mSize << mSubPixelBits;
    mPhaseMask = (1 << mSubPixelBits) - 1;
    mPhaseShift = 20 - mSubPixelBits;
    if (mBlock == nullptr)
        return;
    const double box[4] = {1e-5, 1e-5, mWidth + 32 - mSize - 1e-5, mHeight + 32 - mSize - 1e-5};
    for (std::int32_t v = 0; v < mHeight + 32; ++v)
        rowHeader(v)[0] = -1;
    if (count < 2)
        return;
    // The last fixed-point position whose stamp still lies in the buffer, per axis.
    const std::int64_t lastX = (std::int64_t(mWidth + 32 - mSize) << 20) + (1 << 20) - 1;
    const std::int64_t lastY = (std::int64_t(mHeight + 32 - mSize) << 20) + (1 << 20) - 1;
    const auto fits = [](std::int64_t p, std::int64_t last) { return p >= 0 && p <= last; };
    const double o = brush.originOffset();
    const double dx0 = originX + 16 - o, dy0 = originY + 16 - o;
    const double inverseDiameter = brush.diameter() > 0.0 ? 1.0 / brush.diameter() : 0.0;
    bool lastRejected = true;
    double endX = 0.0, endY = 0.0;
    for (std::int32_t i = 0; i + 1 < count; ++i) {
        double x0 = points[2 * i] + dx0, y0 = points[2 * i + 1] + dy0;
        double x1 = points[2 * i + 2] + dx0, y1 = points[2 * i + 3] + dy0;
        lastRejected = !(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1))
                       || clipSegment(box, x0, y0, x1, y1);
        if (lastRejected)
            continue;
        const double dx = x1 - x0, dy = y1 - y0;
        double stepsReal = std::floor(std::sqrt(dx * dx + dy * dy) * 3.7 * inverseDiameter);
        // A zero diameter would give any number of steps: one stamp per pixel is already dense.
        if (inverseDiameter == 0.0)
            stepsReal = std::floor(std::sqrt(dx * dx + dy * dy));
        const std::int32_t n = std::int32_t(std::max(1.0, std::min(stepsReal, 1e6)));
        const double step = kOne / n;
        const std::int64_t startX = fixedFloor(x0), startY = fixedFloor(y0);
        // Rounded steps add up over many stamps (up to half a pixel at the step cap). Where that
        // would carry the last stamp off the buffer, the step is truncated toward zero instead,
        // which keeps every stamp between the segment's ends.
        std::int64_t stepX = nearestInt64(dx * step), stepY = nearestInt64(dy * step);
        if (!fits(startX + (n - 1) * stepX, lastX))
            stepX = std::int64_t(dx * step);
        if (!fits(startY + (n - 1) * stepY, lastY))
            stepY = std::int64_t(dy * step);
        stampLine(startX, startY, stepX, stepY, n);
        endX = x1;
        endY = y1;
    }
    if (!lastRejected)
        stampLine(fixedFloor(endX), fixedFloor(endY), 0, 0, 1);
}

void CCoverageBuffer::fillPixels(CLinearBitmap& bitmap, const CPixelRect& clip, const CColor& color, std::uint32_t index,
                                 double opacity) const noexcept {
    if (mBlock == nullptr)
        return;
    std::uint8_t c[4] = {255, 255, 255, 255};
    if (index <= 255 && color.toneTable() != nullptr)
        std::memcpy(c, color.tone(int(index)), 3);
    const std::int32_t a = std::clamp(nearestInt(opacity * 128.0 * color.opacity()), 0, 128);
    // The clip as given may reach beyond the bitmap (or the buffer, should the two differ).
    const std::int64_t clipX0 = std::max<std::int64_t>(clip.x, 0);
    const std::int64_t clipY0 = std::max<std::int64_t>(clip.y, 0);
    const std::int64_t clipX1 = std::min<std::int64_t>(std::int64_t(clip.x) + clip.width, std::min(bitmap.width(), mWidth));
    const std::int64_t clipY1 = std::min<std::int64_t>(std::int64_t(clip.y) + clip.height, std::min(bitmap.height(), mHeight));
    for (std::int32_t y = std::int32_t(clipY0); y < clipY1; ++y) {
        const std::int32_t* header = rowHeader(y + 16);
        if (header[0] < 0)
            continue;
        const std::uint8_t* bytes = rowBytes(y + 16);
        const std::int32_t from = std::int32_t(std::max<std::int64_t>(header[0] - 16, clipX0));
        const std::int32_t to = std::int32_t(std::min<std::int64_t>(header[1] - 16, clipX1));
        for (std::int32_t x = from; x < to; ++x) {
            const int q = bytes[x + 16];
            if (q < 3)
                continue;
            const std::int32_t w = q * a;   // q x 128 at full opacity: at most 32640
            std::uint8_t* p = bitmap.pixel(x, y);
            for (int k = 0; k < 4; ++k)
                p[k] = CLinearBitmap::blend15(p[k], c[k], w);
        }
    }
}

int CCoverageBuffer::coverage(std::int32_t x, std::int32_t y) const noexcept {
    if (mBlock == nullptr || y + 16 < 0 || y + 16 >= mHeight + 32)
        return 0;
    const std::int32_t* header = rowHeader(y + 16);
    if (header[0] < 0 || x + 16 < header[0] || x + 16 >= header[1])
        return 0;
    return rowBytes(y + 16)[x + 16];
}

} // namespace tal
