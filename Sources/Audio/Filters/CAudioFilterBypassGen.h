#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

namespace tal {

// The bypass designer ("audio:fltgen-bypass"): designs nothing, so a band that selects it passes
// its input through.
class CAudioFilterBypassGen : public CAudioFilterGen {
public:
    CAudioFilterBypassGen() = default;

    void designStage(CAudioFilterStageList&, const CAudioFilterValues&, CDCDAWContext*,
                     double) const noexcept override {}
};

} // namespace tal
