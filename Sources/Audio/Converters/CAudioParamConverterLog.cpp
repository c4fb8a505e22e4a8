#include "Audio/Converters/CAudioParamConverterLog.h"

#include "Core/CError.h"

#include <cmath>

namespace tal {

CError* CAudioParamConverterLog::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    const CString& powerText = getTextAttr("scale-power");
    bool ok = false;
    mPower = readNumber(powerText, &ok);
    if (!ok) mPower = 1.0;
    if (mPower <= 0.0)
        return newError("@talstr_CAudioParamConverterLog_init_InvalidScalePower Invalid 'scale-power' attribute value "
                        "%1 specified.",
                        getFullName(), powerText);
    const CString& thresholdText = getTextAttr("scale-threshold");
    mThreshold = readNumber(thresholdText, &ok);
    if (!ok) mThreshold = -1.0;
    if (mThreshold > 1.0)
        return newError("@talstr_CAudioParamConverterLog_init_InvalidScaleThreshold Invalid 'scale-threshold' attribute "
                        "value %1 specified.",
                        getFullName(), thresholdText);
    return nullptr;
}

bool CAudioParamConverterLog::isUnitPower() const {
    return (std::fabs(mPower) + 1.0) * 2.2204461e-16 >= std::fabs(mPower - 1.0);
}

double CAudioParamConverterLog::toPlain(const CAudioParamInfo& info, int component, double normalized) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    const double t = mThreshold;
    double y = normalized, upper = b;
    if (t > 0.0) {
        if (normalized >= t) return std::exp(std::log(b) * ((normalized - t) / (1.0 - t)));
        y = normalized / t;
        upper = 1.0;
    }
    if (!isUnitPower()) y = std::pow(y, 1.0 / mPower);
    return std::exp(std::log(upper / a) * y + std::log(a));
}

double CAudioParamConverterLog::toNormalized(const CAudioParamInfo& info, int component, double plain) const {
    const double a = minimumOf(info, component), b = maximumOf(info, component);
    const double t = mThreshold;
    double upper = b, s = 1.0;
    if (t > 0.0) {
        if (plain >= 1.0) return (1.0 - t) * std::log(plain) / std::log(b) + t;
        upper = 1.0;
        s = t;
    }
    double n = std::log(plain / a) / std::log(upper / a);
    if (!isUnitPower()) n = std::pow(n, mPower);
    return s * n;
}

} // namespace tal
