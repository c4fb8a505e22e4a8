#pragma once
#include "Core/CString.h"

namespace tal {

// One generated ruler label: where it sits along the axis and what it shows. Owned by the
// CRulerScale that generated it and valid until its next buildLabels.
struct CRulerLabel {
    double position = 0.0;   // absolute pixel coordinate along the axis
    CString text;            // may hold a long and a short form separated by ";"
};

} // namespace tal
