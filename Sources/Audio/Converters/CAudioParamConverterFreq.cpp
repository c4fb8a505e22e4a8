#include "Audio/Converters/CAudioParamConverterFreq.h"

#include "Audio/CAudioParamInfo.h"

namespace tal {

double CAudioParamConverterFreq::readFrequency(const CString& text, bool* ok) {
    const int length = text.length();
    if (length > 0) {
        const std::uint32_t last = text.charAt(length - 1);
        if (last == 'k' || last == 'K') return readNumber(CString(text, 0, length - 1), ok) * 1000.0;
    }
    return readNumber(text, ok);
}

double CAudioParamConverterFreq::parseText(const CAudioParamInfo& info, int component, const CString& text,
                                           bool* ok) const {
    double switchValue = 0.0;
    if (info.findSwitchValue(text, switchValue)) return clampToRange(info, component, switchValue);
    bool valid = false;
    const double n = readFrequency(text, &valid);
    setOk(ok, valid);
    return clampToRange(info, component, valid ? n : minimumOf(info, component));
}

double CAudioParamConverterFreq::parseTextRaw(const CAudioParamInfo& info, int component, const CString& text,
                                              bool* ok) const {
    double switchValue = 0.0;
    if (info.findSwitchValue(text, switchValue)) return clampToRange(info, component, switchValue);
    bool valid = false;
    const double n = readFrequency(text, &valid);
    setOk(ok, valid);
    return valid ? n : 0.0;
}

CString CAudioParamConverterFreq::formatValue(const CAudioParamInfo& info, int, const CAudioParamData*, int mode,
                                              double value) const {
    CString name;
    if (info.findSwitchName(name, value)) return name;
    return formatFrequency(mode, value);
}

CString CAudioParamConverterFreq::formatFrequency(int mode, double hertz) {
    const std::int64_t tenths = roundToInt(10.0 * hertz);
    if (mode == kPrecisionPrecise) return decimalsText(hertz, 2);
    if (mode == kPrecisionCompact) {
        if (tenths <= 99) return decimalsText(hertz, 1);
        if (tenths <= 9999) return integerText(hertz);
        if (tenths <= 99999) return CString(decimalsText(hertz * 0.001, 1), "k");
        return CString(integerText(hertz * 0.001), "k");
    }
    if (tenths <= 999) return decimalsText(hertz, 1);
    if (roundToInt(hertz) <= 999) return integerText(hertz);
    if (roundToInt(hertz / 10.0) <= 999) return CString(decimalsText(hertz * 0.001, 2), "k");
    return CString(decimalsText(hertz * 0.001, 1), "k");
}

} // namespace tal
