#pragma once

#include <cstdint>

namespace tal {

class CBrush;
class CColor;

// One curve to draw: a polyline in window pixels with its colour, opacity and brush. Filled by the
// displays and owned by the drawing view; the points, colour and brush are borrowed and must stay
// valid while the record is drawn.
struct CCurveDraw {
    const double* points = nullptr;        // count pairs (x, y)
    const double* lowerPoints = nullptr;   // second curve bounding an area fill from below
    std::int32_t count = 0;
    const CColor* color = nullptr;
    double opacity = 1.0;
    double areaHeight = 0.0, areaTop = 0.0;
    double edgeFactor = 0.0, peakFactor = 0.0, peakPosition = 0.0;
    bool alphaTableMode = false;
    const CBrush* brush = nullptr;   // from the brush cache; null for pixel-exact drawing
    std::uint32_t rampIndex = 255;
    bool edgeFade = false;
    bool lowerCurve = false;
};

} // namespace tal
