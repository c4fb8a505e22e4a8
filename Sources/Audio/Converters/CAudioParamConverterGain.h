#pragma once

#include "Audio/Converters/CAudioParamConverterLog.h"

namespace tal {

// Gain ("audio:cvt-gain"): plain values are linear factors, display values and texts are decibels.
class CAudioParamConverterGain : public CAudioParamConverterLog {
public:
    // Decibels per neper: decibels = ln(v) * kDecibelsPerNeper.
    static constexpr double kDecibelsPerNeper = 8.685889638065037;

    CAudioParamConverterGain() = default;

    // --- life cycle ---
    // The logarithmic attributes, then "decimals" (0 to 10).
    [[nodiscard]] CError* init() override;

    // --- conversions ---
    double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                        double value) const override;
    double toDisplay(const CAudioParamInfo& info, int component, double normalized) const override;
    double fromDisplay(const CAudioParamInfo& info, int component, double display) const override;

    // --- queries ---
    int getDecimals() const { return mDecimals; }

private:
    int mDecimals = 0;
};

} // namespace tal
