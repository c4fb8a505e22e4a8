#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace tal {

// Linear mapping whose plain values are whole numbers (rounded half away from zero).
// Base of the enumeration converter.
class CAudioParamConverterRound : public CAudioParamConverter {
public:
    CAudioParamConverterRound() = default;

    // --- conversions ---
    double toPlain(const CAudioParamInfo& info, int component, double normalized) const override;
};

} // namespace tal
