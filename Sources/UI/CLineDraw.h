#pragma once
#include "Other/CCurveDraw.h"
#include "Other/CLinearBitmap.h"

namespace tal {

// The rasteriser routine of a line, curve or area job: drawn into a bitmap with the offset from
// window pixels to bitmap pixels and the clip rectangle.
using CLineRenderer = void (CLinearBitmap::*)(const CCurveDraw&, std::int32_t, std::int32_t, const CPixelRect&);

// One line, curve or area job of a control: the curve record (points in window pixels, colour,
// tone, opacity, brush, gradient values) and the routine chosen for it by selectBrushRenderer.
// Owned by the control; the routine stays chosen until the next selection.
struct CLineDraw {
    CCurveDraw curve;
    CLineRenderer renderer = &CLinearBitmap::drawNothing;
};

} // namespace tal
