#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace tal {

// A plain number shown with a fixed number of decimals ("audio:cvt-real").
class CAudioParamConverterReal : public CAudioParamConverter {
public:
    CAudioParamConverterReal() = default;

    // --- life cycle ---
    // Reads "decimals" (0 to 10).
    [[nodiscard]] CError* init() override;

    // --- conversions ---
    double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                        double value) const override;

    // --- queries ---
    int getDecimals() const { return mDecimals; }

private:
    int mDecimals = 0;
};

} // namespace tal
