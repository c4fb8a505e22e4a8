#pragma once

#include "Audio/CAudioParamFilter.h"

namespace tal {

// Sets its destination to 0.0 (mid/side coding on) when some mid/side pair number of the changed
// group of its source is given to two or more channels, else to 1.0 (bypassed). Pair numbers are
// rounded half away from zero; 0 and below mean no pair. A format change of the source becomes a
// format change of the destination.
class CAudioParamFilterBypassMS : public CAudioParamFilter {
public:
    int getSourceCount() const override { return 1; }
    int getDestinationCount() const override { return 1; }
    void filterChange(const Record* sources, const Record* destinations, const CAudioParamChange& change,
                      const CAudioParamContext& context) override;
};

} // namespace tal
