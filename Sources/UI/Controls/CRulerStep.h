#pragma once

namespace tal {

// One item of a ruler stepping: the small, middle and large grid step, each either absolute (value
// units, `step`) or relative (`fraction` of the range, written with a "%" suffix). Of each pair
// only the member selected by `isRelative` is meaningful; CRulerScale::buildLabels refreshes `step`
// from `fraction` for relative steps on every pass.
struct CRulerStep {
    bool isRelative[3] = {false, false, false};
    double step[3] = {0.0, 0.0, 0.0};
    double fraction[3] = {0.0, 0.0, 0.0};
};

} // namespace tal
