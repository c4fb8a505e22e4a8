#pragma once

#include <cstdint>

namespace tal {

struct CImageDraw;

// Draws the visible part of a prepared image draw straight from its layer's run-length block:
// columns x0..x1 - 1 and rows y0..y1 - 1 of a 32-bit R, G, B, X bitmap, the layer's top-left pixel
// at (left, top). The visible part lies inside both the bitmap and the layer, and the block is a
// checked one (every run inside it, every row covering the layer's width).
void drawImageSpans(std::uint8_t* pixels, std::int32_t stride, const CImageDraw& record, std::int64_t left,
                    std::int64_t top, std::int32_t x0, std::int32_t x1, std::int32_t y0, std::int32_t y1) noexcept;

} // namespace tal
