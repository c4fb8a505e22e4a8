#pragma once

#include "Core/CPoolAllocated.h"
#include "Other/CCoverageBuffer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CColor;
class CError;
struct CCurveDraw;
struct CImageDraw;

// An integer pixel rectangle: left, top, width, height.
struct CPixelRect {
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

// A plain 32-bit pixel buffer (bytes R, G, B, X per pixel, rows top to bottom, stride width x 4)
// and the drawing operations the views use directly: tone-ramp fills, one-pixel lines, XOR
// highlights, copies and cross-fades. Opacity becomes an integer weight nearest(f x 32768): below
// 129 nothing is drawn, from 32640 (255 x 128) on pixels are stored without blending.
// Owned by its user (tile records, side buffers); one thread paints a bitmap at a time.
// Every operation clips to the bitmap: parts of rectangles, lines and spans outside it are dropped.
class CLinearBitmap : public CPoolAllocated {
public:
    CLinearBitmap() = default;   // empty: no pixels
    CLinearBitmap(const CLinearBitmap&) = delete;
    CLinearBitmap& operator=(const CLinearBitmap&) = delete;
    virtual ~CLinearBitmap();

    // --- size ---
    // Same size: nothing (not even clearing). Otherwise the old pixels are freed; a zero or negative
    // width or height leaves the bitmap empty, else a new block is made, zeroed when clear is true.
    // Returns null.
    [[nodiscard]] virtual CError* setSize(std::int32_t width, std::int32_t height, bool clear);

    // --- queries ---
    std::uint8_t* pixels() noexcept { return mPixels; }
    const std::uint8_t* pixels() const noexcept { return mPixels; }
    std::int32_t width() const noexcept { return mWidth; }
    std::int32_t height() const noexcept { return mHeight; }
    std::int32_t stride() const noexcept { return mStride; }
    std::uint8_t* pixel(std::int32_t x, std::int32_t y) noexcept { return mPixels + std::int64_t(y) * mStride + 4 * x; }
    const std::uint8_t* pixel(std::int32_t x, std::int32_t y) const noexcept {
        return mPixels + std::int64_t(y) * mStride + 4 * x;
    }

    // --- drawing ---
    // Fills with entry index (0..255) of the colour's tone ramp at opacity x the colour's opacity;
    // an index above 255 or a colour without ramp fills white.
    void fillRect(const CPixelRect& rect, const CColor& color, int index, double opacity);
    // One-pixel runs, both ends included (nothing when x1 < x0 or y1 < y0); weight 0..32768.
    void drawHLine(std::int32_t x0, std::int32_t x1, std::int32_t y, int r, int g, int b, std::int32_t weight);
    void drawVLine(std::int32_t x, std::int32_t y0, std::int32_t y1, int r, int g, int b, std::int32_t weight);
    // XORs every pixel of the rectangle with the bytes (r, g, b, a).
    void xorRect(const CPixelRect& rect, int a, int r, int g, int b);
    // Raises every byte at most 239 by 16.
    void lighten();

    // --- copies and cross-fades ---
    // Copies the whole source, resizing this bitmap to it first when the sizes differ.
    void copyFrom(const CLinearBitmap& source);
    // Copies a rectangle to the same place (resizing first as copyFrom).
    void copyRect(const CLinearBitmap& source, const CPixelRect& rect);
    // Copies a source rectangle to the rectangle moved by (dx, dy), clipped to this bitmap.
    void copyRectOffset(const CLinearBitmap& source, std::int32_t dx, std::int32_t dy, const CPixelRect& rect);
    // Blends a rectangle of a source of the same size over this one at opacity 0..1.
    void blendRect(const CLinearBitmap& source, const CPixelRect& rect, double opacity);
    // The same for the whole bitmaps.
    void blendFrom(const CLinearBitmap& source, double opacity);

    // --- images ---
    // Draws a prepared image with its top-left (before the layer's placement offsets) at (x, y),
    // clipped to clip and to the bitmap, straight from the layer's run-length block. Nothing for a
    // record of weight 0 or without a layer.
    void drawImage(const CImageDraw& record, std::int32_t x, std::int32_t y, const CPixelRect& clip);

    // --- column spans: column x, rows y0 .. y1 - 1, table[k] for row y0 + k, 15-bit blends ---
    // Toward (r, g, b, 255) at weight (table[k] x a) >> 15, a = start + k x step.
    void spanAlphaTableRamp(const std::uint32_t* table, std::int32_t start, std::int32_t step, int r, int g, int b,
                            std::int32_t x, std::int32_t y0, std::int32_t y1);
    // Toward the 4-byte pixel table[k] at weight start + k x step.
    void spanColourTableRamp(const std::uint32_t* table, std::int32_t start, std::int32_t step, std::int32_t x,
                             std::int32_t y0, std::int32_t y1);
    // Toward (r, g, b, 255) at weight from + k x trunc((to - from) / (rows - 1)) (one row: from).
    void spanRamp(std::int32_t from, std::int32_t to, int r, int g, int b, std::int32_t x, std::int32_t y0,
                  std::int32_t y1);
    // Toward (r, g, b, 255) at weight table[k].
    void spanAlphaTable(const std::uint32_t* table, int r, int g, int b, std::int32_t x, std::int32_t y0,
                        std::int32_t y1);
    // Toward the 4-byte pixel table[k] at weight (below 32640), else table[k] stored.
    void spanColourTable(const std::uint32_t* table, std::int32_t weight, std::int32_t x, std::int32_t y0,
                         std::int32_t y1);

    // --- anti-aliased curves ---
    // Rasterises the record's polyline with its brush (points plus the origin give bitmap pixels)
    // and blends it into the pixels inside clip with the record's colour entry and opacity. Nothing
    // without a brush or colour, with fewer than 2 points, or into an empty bitmap.
    void drawCurveAA(const CCurveDraw& record, std::int32_t originX, std::int32_t originY, const CPixelRect& clip);
    // The same for a polyline of one point per pixel column (point i at the column of point 0 plus
    // i); points that cannot reach the clip are dropped first.
    void drawColumnCurveAA(const CCurveDraw& record, std::int32_t originX, std::int32_t originY, const CPixelRect& clip);
    // --- pixel-exact curves (one-pixel lines; the colour's own opacity is not applied) ---
    // A one-pixel polyline clipped to clip, joined segments drawing their shared point once.
    void drawPixelCurve(const CCurveDraw& record, std::int32_t originX, std::int32_t originY, const CPixelRect& clip);
    // A connected curve of one point per pixel column: each column draws one vertical run that
    // meets its neighbours halfway.
    void drawColumnCurve(const CCurveDraw& record, std::int32_t originX, std::int32_t originY, const CPixelRect& clip);
    // Fills under (or, with the record's lower curve, between) one-point-per-column curves with a
    // vertical gradient: an opacity ramp toward the colour (alpha table mode) or a colour ramp.
    void fillColumnArea(const CCurveDraw& record, std::int32_t originX, std::int32_t originY, const CPixelRect& clip);
    // Records that draw nothing (fewer than 2 points, or anti-aliased without brush).
    void drawNothing(const CCurveDraw&, std::int32_t, std::int32_t, const CPixelRect&) {}
    // One Bresenham segment from its start up to, but not including, its end unless the end lies in
    // the bitmap's first or last column (row, for steep segments); both ends inside the bitmap.
    // Solid stores (r, g, b, 255); blend moves R, G, B toward the colour by weight / 32768.
    void drawLineSolid(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, int r, int g, int b);
    void drawLineBlend(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, int r, int g, int b,
                       std::int32_t weight);
    // The work buffer of the last anti-aliased draw (null before the first); for tests.
    const CCoverageBuffer* coverageBuffer() const noexcept { return mCoverage.get(); }

    // --- pixel arithmetic, shared with the rasteriser and the image spans ---
    // nearest(f x 32768), halves away from zero.
    static std::int32_t weightOf(double fraction) noexcept;
    // p + ((s - p) x w + 16384) >> 15, clamped to a byte; w at most 32640.
    static std::uint8_t blend15(int p, int s, std::int32_t w) noexcept {
        const int v = p + (((s - p) * w + 16384) >> 15);
        return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    static constexpr std::int32_t kMinWeight = 129;
    static constexpr std::int32_t kOpaqueWeight = 32640;

protected:
    std::uint8_t* mPixels = nullptr;   // owned: from the pool allocator
    std::int32_t mWidth = 0;
    std::int32_t mHeight = 0;
    std::int32_t mStride = 0;
    std::unique_ptr<CCoverageBuffer> mCoverage;   // made on the first anti-aliased draw
    std::vector<std::uint32_t> mScratch;          // the area fill's per-row table; only grows

private:
    template <class Plot>
    void walkLine(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, Plot plot);
    // Stamps and blends a polyline through the coverage buffer.
    void rasterise(const CCurveDraw& record, const double* points, std::int32_t count, std::int32_t originX,
                   std::int32_t originY, const CPixelRect& clip);
    // Resizes to the source's size when it differs; false when there is nothing to copy.
    bool takeSizeOf(const CLinearBitmap& source);
    // The part of a rectangle inside the bitmap; false when nothing is left.
    bool clipToBitmap(CPixelRect& rect) const noexcept;
    // Column x and rows [y0, y1) clipped to the bitmap; k0 is the number of rows dropped above.
    bool clipSpan(std::int32_t x, std::int32_t& y0, std::int32_t& y1, std::int32_t& k0) const noexcept;
    // Stores or blends the 4-byte colour over a run of n pixels.
    static void paintRun(std::uint8_t* p, std::int32_t n, std::int32_t step, const std::uint8_t color[4],
                         std::int32_t weight) noexcept;
};

} // namespace tal
