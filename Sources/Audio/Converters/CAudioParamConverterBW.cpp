#include "Audio/Converters/CAudioParamConverterBW.h"

#include <cmath>

namespace tal {

double CAudioParamConverterBW::parseText(const CAudioParamInfo& info, int component, const CString& text,
                                         bool* ok) const {
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return clampToRange(info, component, valid ? n : minimumOf(info, component));
}

double CAudioParamConverterBW::parseTextRaw(const CAudioParamInfo&, int, const CString& text, bool* ok) const {
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return valid ? n : 0.001;
}

CString CAudioParamConverterBW::formatValue(const CAudioParamInfo&, int, const CAudioParamData*, int mode,
                                            double value) const {
    return decimalsText(value, mode == kPrecisionPrecise ? 3 : 2);
}

double CAudioParamConverterBW::toPlain(const CAudioParamInfo& info, int component, double normalized) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    return a + (b - a) * normalized * normalized;
}

double CAudioParamConverterBW::toNormalized(const CAudioParamInfo& info, int component, double plain) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    return std::sqrt(std::fabs((plain - a) / (b - a)));
}

} // namespace tal
