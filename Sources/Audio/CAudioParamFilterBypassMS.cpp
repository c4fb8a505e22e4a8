#include "Audio/CAudioParamFilterBypassMS.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamStorage.h"
#include "Core/CArray.h"

#include <cmath>

namespace tal {

namespace {

double roundHalfAway(double v) { return v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v); }

} // namespace

void CAudioParamFilterBypassMS::filterChange(const Record* sources, const Record* destinations,
                                             const CAudioParamChange& change, const CAudioParamContext& context) {
    const int group = change.group == CAudioParamChange::kFormatGroup ? 0 : change.group;
    const CAudioParamStorage& pairs = *sources[0].current;
    const int n = pairs.getElementCount(group);
    // The pair numbers seen so far; a channel count is small, so a linear search is enough and a
    // huge pair number costs no memory.
    CArray<double> seen;
    bool paired = false;
    for (int i = 0; i < n && !paired; ++i) {
        const double p = roundHalfAway(pairs.getValue(group, i, 0));
        if (!(p > 0.0))
            continue;
        paired = seen.indexOf(p) >= 0;
        seen.add(p);
    }
    applyOne(destinations[0], change.group, paired ? 0.0 : 1.0, change, context);
}

} // namespace tal
