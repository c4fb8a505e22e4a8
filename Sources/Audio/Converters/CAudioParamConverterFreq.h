#pragma once

#include "Audio/Converters/CAudioParamConverterLog.h"

namespace tal {

// Frequency in hertz ("audio:cvt-freq"): logarithmic mapping; texts may carry a "k" suffix for
// kilohertz, and the definition's first switch name stands for its first switch value.
class CAudioParamConverterFreq : public CAudioParamConverterLog {
public:
    CAudioParamConverterFreq() = default;

    // --- conversions ---
    double parseText(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    double parseTextRaw(const CAudioParamInfo& info, int component, const CString& text, bool* ok) const override;
    CString formatValue(const CAudioParamInfo& info, int component, const CAudioParamData* items, int mode,
                        double value) const override;

    // The text of a frequency in a precision mode ("50.0", "707", "1.50k", "12k" ...); also used for
    // the frequency labels of the curve editor.
    static CString formatFrequency(int mode, double hertz);

private:
    // The number of a text, times 1000 when it ends in "k" or "K".
    static double readFrequency(const CString& text, bool* ok);
};

} // namespace tal
