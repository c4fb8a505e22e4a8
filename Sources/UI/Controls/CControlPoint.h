#pragma once
#include <cstdint>

namespace tal {

// One point (band) of a curve-editor layer: its normalised position (x to the right, y upwards, 0..1
// across the plot), bandwidth, band type and the values derived for drawing and dragging. Owned by
// its layer record; new records are copies of the layer's default point. UI thread only.
struct CControlPoint {
    double bandwidth = 0.0;
    std::int32_t labelBase = 49;  // the character '1'
    std::int32_t colour = 0;
    std::int32_t dragSlot = 0;
    // The filter-mode parameter's value to the nearest integer; -1 until read.
    std::int32_t bandType = -1;
    double dyn = 0.0;
    double gluedWeight = 1.0;
    double gluedY = 0.0;
    // 0 = point, 3 = anchor.
    std::int32_t kind = 0;
    bool isShown = true;
    bool isFixedX = false;
    bool isFixedY = false;
    bool cursorWarpPending = false;
    double x = 0.0;
    double y = 0.0;
    double rawX = 0.0;
    double rawY = 0.0;
};

} // namespace tal
