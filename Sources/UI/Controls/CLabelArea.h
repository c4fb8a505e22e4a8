#pragma once
#include "UI/Controls/CControlPointRef.h"

namespace tal {

// One drawn point label: its rectangle in surface pixels and the point it labels. Built by the
// drawing, read by the hover test; UI thread only.
struct CLabelArea {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
    CControlPointRef point;
};

} // namespace tal
