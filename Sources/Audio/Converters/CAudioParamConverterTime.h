#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace tal {

// Time ("audio:cvt-time"): plain values are display values times the scale (seconds for a scale of
// 0.001 with milliseconds shown). The mapping is logarithmic (is-log), linear (is-exact) or square-law.
class CAudioParamConverterTime : public CAudioParamConverter {
public:
    CAudioParamConverterTime() = default;

    // --- life cycle ---
    // Reads "is-log", "scale" (above 0), "is-exact" and "is-precise".
    [[nodiscard]] CError* init() override;

    // --- conversions ---
    double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                        double value) const override;
    double toPlain(const CAudioParamInfo& info, int component, double normalized) const override;
    double toNormalized(const CAudioParamInfo& info, int component, double plain) const override;
    double toDisplay(const CAudioParamInfo& info, int component, double normalized) const override;
    double fromDisplay(const CAudioParamInfo& info, int component, double display) const override;

    // --- queries ---
    double getScale() const { return mScale; }

private:
    bool mIsLog = false;
    double mScale = 0.0;
    bool mIsExact = false;
    int mPrecise = 0;
};

} // namespace tal
