#include "Audio/Converters/CAudioParamConverterReal.h"

#include "Core/CError.h"

#include <cmath>

namespace tal {

CError* CAudioParamConverterReal::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    mDecimals = getIntAttr("decimals");
    if (mDecimals < 0 || mDecimals > 10)
        return newError("@talstr_CAudioParamConverterReal_init_InvalidDecimals Invalid decimals %1 specified.",
                        getFullName(), getTextAttr("decimals"));
    return nullptr;
}

double CAudioParamConverterReal::parseText(const CAudioParamInfo& info, int component, const CString& text,
                                           bool* ok) const {
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return clampToRange(info, component, valid ? n : minimumOf(info, component));
}

double CAudioParamConverterReal::parseTextRaw(const CAudioParamInfo&, int, const CString& text, bool* ok) const {
    bool valid = false;
    const double n = readNumber(text, &valid);
    setOk(ok, valid);
    return valid ? n : 0.0;
}

CString CAudioParamConverterReal::formatValue(const CAudioParamInfo&, int, const CAudioParamData*, int mode,
                                              double value) const {
    if (mode == kPrecisionCompact)
        return roundToInt(10.0 * std::fabs(value)) < 100 ? decimalsText(value, 1) : integerText(value);
    return decimalsText(value, mDecimals);
}

} // namespace tal
