#pragma once

#include "Audio/CAudioParamFilter.h"

namespace tal {

// Sets its destination (group 0, element 0) to 1.0, bypassed, unless some group of its source holds
// a first value of 0.5 or more (a soloed channel group), then to 0.0.
class CAudioParamFilterBypassGroupSolo : public CAudioParamFilter {
public:
    int getSourceCount() const override { return 1; }
    int getDestinationCount() const override { return 1; }
    void filterChange(const Record* sources, const Record* destinations, const CAudioParamChange& change,
                      const CAudioParamContext& context) override;
};

} // namespace tal
