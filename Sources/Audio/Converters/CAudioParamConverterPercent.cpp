#include "Audio/Converters/CAudioParamConverterPercent.h"

#include "Audio/CAudioParamInfo.h"

namespace tal {

double CAudioParamConverterPercent::parseText(const CAudioParamInfo& info, int component, const CString& text,
                                              bool* ok) const {
    double switchValue = 0.0;
    if (info.findSwitchValue(text, switchValue)) return clampToRange(info, component, switchValue);
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return clampToRange(info, component, valid ? 0.01 * n : minimumOf(info, component));
}

double CAudioParamConverterPercent::parseTextRaw(const CAudioParamInfo& info, int component, const CString& text,
                                                 bool* ok) const {
    double switchValue = 0.0;
    if (info.findSwitchValue(text, switchValue)) return clampToRange(info, component, switchValue);
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return valid ? 0.01 * n : 0.0;
}

CString CAudioParamConverterPercent::formatValue(const CAudioParamInfo& info, int, const CAudioParamData*, int mode,
                                                 double value) const {
    CString name;
    if (info.findSwitchName(name, value)) return name;
    const double percent = 100.0 * value;
    return mode == kPrecisionCompact ? integerText(percent) : decimalsText(percent, 1);
}

double CAudioParamConverterPercent::toDisplay(const CAudioParamInfo& info, int component, double normalized) const {
    return 100.0 * toPlain(info, component, normalized);
}

double CAudioParamConverterPercent::fromDisplay(const CAudioParamInfo& info, int component, double display) const {
    return toNormalized(info, component, clampToRange(info, component, 0.01 * display));
}

} // namespace tal
