#pragma once
#include <cstdint>

namespace tal {

// Where one point is drawn: its centre in surface pixels, its layer and point index and the
// rectangle in which a press hits it. Built by the drawing, read by the hit tests; UI thread only.
struct CPointDisplay {
    double x = 0.0;
    double y = 0.0;
    std::int32_t layer = -1;
    std::int32_t point = -1;
    double hitLeft = 0.0;
    double hitTop = 0.0;
    double hitWidth = 0.0;
    double hitHeight = 0.0;

    // Whether (px, py) lies in the hit rectangle (left and top edges inside, right and bottom not).
    bool hits(double px, double py) const noexcept {
        return hitLeft <= px && hitTop <= py && px < hitLeft + hitWidth && py < hitTop + hitHeight;
    }
};

} // namespace tal
