#include "Audio/Converters/CAudioParamConverterTime.h"

#include "Core/CError.h"

#include <cmath>

namespace tal {

CError* CAudioParamConverterTime::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    mIsLog = getBoolAttr("is-log");
    mScale = getDoubleAttr("scale");
    mIsExact = getBoolAttr("is-exact");
    mPrecise = getBoolAttr("is-precise") ? 1 : 0;
    if (mScale <= 0.0)
        return newError("@talstr_CAudioParamConverterTime_init_InvalidScale Invalid scale %1 specified.", getFullName(),
                        decimalsText(mScale, 4));
    return nullptr;
}

double CAudioParamConverterTime::parseText(const CAudioParamInfo& info, int component, const CString& text,
                                           bool* ok) const {
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return clampToRange(info, component, valid ? n * mScale : minimumOf(info, component));
}

double CAudioParamConverterTime::parseTextRaw(const CAudioParamInfo&, int, const CString& text, bool* ok) const {
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return valid ? n * mScale : 0.0;
}

CString CAudioParamConverterTime::formatValue(const CAudioParamInfo&, int, const CAudioParamData*, int mode,
                                              double value) const {
    const double e = value / mScale;
    const std::int64_t m = roundToInt(std::fabs(e));
    if (mode == kPrecisionCompact) {
        if (roundToInt(10.0 * std::fabs(e)) <= 0) return integerText(e);
        if (m <= 9) return decimalsText(e, 1);
        if (m <= 999) return integerText(e);
        if (m <= 9999) return CString(decimalsText(e / 1000.0, 1), "*");
        return CString(integerText(e / 1000.0), "*");
    }
    if (mIsExact || m <= 9) return decimalsText(e, mPrecise + 2);
    if (m <= 99) return decimalsText(e, mPrecise + 1);
    return decimalsText(e, mPrecise);
}

double CAudioParamConverterTime::toPlain(const CAudioParamInfo& info, int component, double normalized) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    if (mIsLog) return a * std::pow(b / a, normalized);
    if (mIsExact) return a + normalized * (b - a);
    return a + (b - a) * normalized * normalized;
}

double CAudioParamConverterTime::toNormalized(const CAudioParamInfo& info, int component, double plain) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    if (mIsLog) return std::log(plain / a) / std::log(b / a);
    if (mIsExact) return (plain - a) / (b - a);
    return std::sqrt(std::fabs((plain - a) / (b - a)));
}

double CAudioParamConverterTime::toDisplay(const CAudioParamInfo& info, int component, double normalized) const {
    return toPlain(info, component, normalized) / mScale;
}

double CAudioParamConverterTime::fromDisplay(const CAudioParamInfo& info, int component, double display) const {
    return toNormalized(info, component, clampToRange(info, component, display * mScale));
}

} // namespace tal
