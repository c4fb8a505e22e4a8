#include "Audio/Converters/CAudioParamConverterGain.h"

#include "Core/CError.h"

#include <cmath>

namespace tal {

CError* CAudioParamConverterGain::init() {
    if (CError* err = CAudioParamConverterLog::init()) return traceError(err, getFullName());
    mDecimals = getIntAttr("decimals");
    if (mDecimals < 0 || mDecimals > 10)
        return newError("@talstr_CAudioParamConverterGain_init_InvalidDecimals Invalid 'decimals' attribute value %1 "
                        "specified.",
                        getFullName(), getTextAttr("decimals"));
    return nullptr;
}

double CAudioParamConverterGain::parseText(const CAudioParamInfo& info, int component, const CString& text,
                                           bool* ok) const {
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return clampToRange(info, component, valid ? std::exp(n / kDecibelsPerNeper) : minimumOf(info, component));
}

double CAudioParamConverterGain::parseTextRaw(const CAudioParamInfo&, int, const CString& text, bool* ok) const {
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return valid ? std::exp(n / kDecibelsPerNeper) : 1.0;
}

CString CAudioParamConverterGain::formatValue(const CAudioParamInfo&, int, const CAudioParamData*, int mode,
                                              double value) const {
    const double g = std::log(value) * kDecibelsPerNeper;
    if (mode == kPrecisionCompact) {
        const double magnitude = std::fabs(g);
        if (roundToInt(100.0 * magnitude) > 0 && roundToInt(10.0 * magnitude) < 100) return decimalsText(g, 1);
        return integerText(g);
    }
    if (mode == kPrecisionPrecise) return decimalsText(g, 2);
    return decimalsText(g, mDecimals);
}

double CAudioParamConverterGain::toDisplay(const CAudioParamInfo& info, int component, double normalized) const {
    return std::log(toPlain(info, component, normalized)) * kDecibelsPerNeper;
}

double CAudioParamConverterGain::fromDisplay(const CAudioParamInfo& info, int component, double display) const {
    return toNormalized(info, component, clampToRange(info, component, std::exp(display / kDecibelsPerNeper)));
}

} // namespace tal
