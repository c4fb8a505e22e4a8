#pragma once

#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CBrush;
class CColor;
class CLinearBitmap;
struct CPixelRect;

// The anti-aliased rasteriser's per-bitmap work buffer: one coverage byte per pixel with a margin
// of 16 pixels on every side, and per row the extent [first, end) of columns a stroke reached
// (first -1: empty row). A polyline is stamped with a brush by taking the maximum with what is
// there, so overlapping stamps look like one even stroke; the coverage is then blended into the
// bitmap. Positions are 64-bit with 20 fractional bits, so bitmaps of any width and height fit.
// Owned by its bitmap; used by the thread painting it.
class CCoverageBuffer : public CPoolAllocated {
public:
    CCoverageBuffer() = default;
    CCoverageBuffer(const CCoverageBuffer&) = delete;
    CCoverageBuffer& operator=(const CCoverageBuffer&) = delete;
    ~CCoverageBuffer();

    // Makes the block fit a bitmap of this size (the content is not cleared); 0 x 0: no block.
    void resize(std::int32_t width, std::int32_t height);
    bool hasBlock() const noexcept { return mBlock != nullptr; }

    // Marks every row empty and stamps the polyline (points in bitmap pixels before the origin
    // is added). Fewer than 2 points stamp nothing; segments with a non-finite coordinate are
    // skipped.
    void addPolyline(const double* points, std::int32_t count, const CBrush& brush, std::int32_t originX,
                     std::int32_t originY);
    // Cohen-Sutherland clipping of a segment to a box (xmin, ymin, xmax, ymax) in place; true when
    // the segment lies wholly outside (coordinates untouched).
    static bool clipSegment(const double box[4], double& x0, double& y0, double& x1, double& y1) noexcept;
    // Stamps the brush at steps fixed-point positions from (x, y), stepping by (stepX, stepY). The
    // positions must keep every stamp inside the buffer (addPolyline's clip box does).
    void stampLine(std::int64_t x, std::int64_t y, std::int64_t stepX, std::int64_t stepY, std::int32_t steps) noexcept;
    // Blends the coverage into the bitmap inside clip with a colour's ramp entry (white when the
    // index is above 255 or the colour has no ramp) at opacity x the colour's opacity. Only the
    // part of clip inside both the bitmap and the buffer is written.
    void fillPixels(CLinearBitmap& bitmap, const CPixelRect& clip, const CColor& color, std::uint32_t index,
                    double opacity) const noexcept;

    // --- queries (tests) ---
    // Coverage of bitmap pixel (x, y); 0 outside the row's extent.
    int coverage(std::int32_t x, std::int32_t y) const noexcept;

private:
    std::int32_t* rowHeader(std::int32_t v) const noexcept {
        return reinterpret_cast<std::int32_t*>(mBlock + std::int64_t(v) * mRowStride);
    }
    std::uint8_t* rowBytes(std::int32_t v) const noexcept { return mBlock + std::int64_t(v) * mRowStride + 8; }

    const std::uint8_t* mMask = nullptr;   // not owned: the current brush's masks
    std::int32_t mMaskStride = 0;
    std::int32_t mSize = 0;
    std::int32_t mSubPixelBits = 0;
    std::int32_t mPhaseMask = 0;
    std::int32_t mPhaseShift = 20;
    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    std::uint8_t* mBlock = nullptr;   // owned: (width + 40) x (height + 32) bytes
    std::int32_t mRowStride = 0;
};

} // namespace tal
