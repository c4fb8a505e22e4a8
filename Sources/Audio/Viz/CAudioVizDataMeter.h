#pragma once
#include "Audio/Viz/CAudioVizData.h"

namespace tal {

// A meter frame (type 0): the level and the peak value of one channel.
class CAudioVizDataMeter : public CAudioVizData {
public:
    CAudioVizDataMeter() noexcept : CAudioVizData(kTypeMeter) {}

    // --- the payload: common fields, f64 level, f64 peak (40 bytes) ---
    [[nodiscard]] CError* save(COutputStream& out) const override;
    [[nodiscard]] CError* load(CInputStream& in) override;
    CAudioVizDataMeter* cloneMeter() const;

    double level = 0.0;
    double peak = 0.0;
};

} // namespace tal
