#pragma once
#include "UI/Controls/CControlPointRef.h"

namespace tal {

// One drawn segment between two points: the points it joins and its ends in window pixels (the
// coordinates of the view placement). Built by the drawing, read by the hit tests; UI thread only.
struct CSegmentDisplay {
    CControlPointRef start;
    CControlPointRef end;
    double startX = 0.0;
    double startY = 0.0;
    double endX = 0.0;
    double endY = 0.0;
    bool isEditable = true;   // drawn in the segment colour, else in the underlay colour
};

} // namespace tal
