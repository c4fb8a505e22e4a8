#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace tal {

// Text ("audio:cvt-text"): shows the string item that a string parameter's value refers to. String
// values are never set through the converter, so parsing yields 0.
class CAudioParamConverterText : public CAudioParamConverter {
public:
    CAudioParamConverterText() = default;

    // --- conversions ---
    double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    // The text of the string item whose id is the rounded value; empty when items is null or holds no
    // string item of that id.
    CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                        double value) const override;
};

} // namespace tal
