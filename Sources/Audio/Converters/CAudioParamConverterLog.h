#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace tal {

// Logarithmic mapping between normalised and plain values, with an optional power curve and an
// optional threshold that gives the normalised interval 0..t to the plain interval minimum..1 and the
// rest to 1..maximum. Base of the frequency and gain converters.
class CAudioParamConverterLog : public CAudioParamConverter {
public:
    CAudioParamConverterLog() = default;

    // --- life cycle ---
    // Reads "scale-power" (default 1, must be above 0) and "scale-threshold" (default -1, at most 1).
    [[nodiscard]] CError* init() override;

    // --- conversions ---
    double toPlain(const CAudioParamInfo& info, int component, double normalized) const override;
    double toNormalized(const CAudioParamInfo& info, int component, double plain) const override;

    // --- queries ---
    double getPower() const { return mPower; }
    double getThreshold() const { return mThreshold; }

protected:
    // True when the power is 1 within the double precision, so the power step is skipped.
    bool isUnitPower() const;

    double mPower = 0.0;
    double mThreshold = 0.0;
};

} // namespace tal
