#pragma once

namespace tal {

// One generated ruler tick mark. Held by value in the hairline groups of a CRulerScale.
struct CRulerHairline {
    double position = 0.0;   // absolute pixel coordinate along the axis
    bool isMinor = false;    // from the finest grid pass; drawn, but not handed to the graph's grid
};

} // namespace tal
