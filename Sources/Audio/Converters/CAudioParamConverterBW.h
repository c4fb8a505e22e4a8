#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace tal {

// Bandwidth in octaves ("audio:cvt-bw"): a square-law mapping that gives narrow bandwidths more travel.
class CAudioParamConverterBW : public CAudioParamConverter {
public:
    CAudioParamConverterBW() = default;

    // --- conversions ---
    double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                        double value) const override;
    double toPlain(const CAudioParamInfo& info, int component, double normalized) const override;
    double toNormalized(const CAudioParamInfo& info, int component, double plain) const override;
};

} // namespace tal
