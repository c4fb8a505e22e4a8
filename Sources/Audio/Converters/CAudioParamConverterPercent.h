#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace tal {

// Percent ("audio:cvt-percent"): plain values are fractions, display values and texts are percent.
// The definition's first switch name stands for its first switch value.
class CAudioParamConverterPercent : public CAudioParamConverter {
public:
    CAudioParamConverterPercent() = default;

    // --- conversions ---
    double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                        double value) const override;
    double toDisplay(const CAudioParamInfo& info, int component, double normalized) const override;
    double fromDisplay(const CAudioParamInfo& info, int component, double display) const override;
};

} // namespace tal
