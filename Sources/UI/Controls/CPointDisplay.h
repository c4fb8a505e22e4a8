#pragma once
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// Where one point is drawn: its centre in surface pixels and in window pixels, its layer and point
// index, how it is drawn (colour name, image frame, band off, emphasised, in range) and the rectangle
// in which a press hits it. Built by the drawing, read by the hit tests; UI thread only.
struct CPointDisplay {
    double x = 0.0;
    double y = 0.0;
    std::int32_t layer = -1;
    std::int32_t point = -1;
    double hitLeft = 0.0;
    double hitTop = 0.0;
    double hitWidth = 0.0;
    double hitHeight = 0.0;
    CString colourName;
    std::int32_t screenX = 0;
    std::int32_t screenY = 0;
    std::int32_t frameBase = 0;   // 0 point, 30 anchor, 100 or 200 slider handle
    bool isAnchor = false;
    bool isEmphasised = false;    // first or last point in simple xy mode
    bool isBandOff = false;
    bool isInRange = false;       // the unclamped position lies inside the plot

    // A record of point (layer, point) centred on (x, y) with the hit rectangle (left, top, width, height).
    static CPointDisplay at(double x, double y, std::int32_t layer, std::int32_t point, double left, double top,
                            double width, double height) {
        CPointDisplay d;
        d.x = x;
        d.y = y;
        d.layer = layer;
        d.point = point;
        d.hitLeft = left;
        d.hitTop = top;
        d.hitWidth = width;
        d.hitHeight = height;
        return d;
    }
    // Whether (px, py) lies in the hit rectangle (left and top edges inside, right and bottom not).
    bool hits(double px, double py) const noexcept {
        return hitLeft <= px && hitTop <= py && px < hitLeft + hitWidth && py < hitTop + hitHeight;
    }
};

} // namespace tal
