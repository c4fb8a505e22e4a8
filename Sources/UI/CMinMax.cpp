#include "UI/CMinMax.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CMinMax::create() { return new CMinMax(); }

void CMinMax::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addAttrOf<CMinMax, &CMinMax::attrMin>(scheme, "min");
    addAttrOf<CMinMax, &CMinMax::attrMax>(scheme, "max");
    addAttrOf<CMinMax, &CMinMax::attrScalePower>(scheme, "scale-power");
}

CMinMax::~CMinMax() = default;

CError* CMinMax::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mIsLog = getBoolAttr("is-log");
    return nullptr;
}

CError* CMinMax::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    return traceError(fireEvent(CString("min-max-ready"), false), getFullName());
}

// --- CUIParamUpdateHandler ---

void CMinMax::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    if (name.equals("ui-param-min"))
        mMinParam = param;
    else if (name.equals("ui-param-max"))
        mMaxParam = param;
    else if (name.equals("ui-param-param-min-max"))
        mRangeParam = param;
}

void CMinMax::onUIParamActivated(CUIParam* param) { setParamActive(param, true); }

void CMinMax::onUIParamDeactivated(CUIParam* param) { setParamActive(param, false); }

void CMinMax::setParamActive(CUIParam* param, bool isActive) {
    bool* flag = param == mMinParam ? &mMinActive : param == mMaxParam ? &mMaxActive
                                                : param == mRangeParam ? &mRangeActive : nullptr;
    if (flag == nullptr)
        return;
    *flag = isActive;
    CError* error = updateFromParams();
    reportError(&error);
}

CError* CMinMax::onUIParamChanged(CUIParam*, std::int32_t, std::int32_t) {
    return traceError(updateFromParams(), getFullName());
}

// --- attributes ---

CError* CMinMax::attrMin() { return setField(mMin, getDoubleAttr("min")); }
CError* CMinMax::attrMax() { return setField(mMax, getDoubleAttr("max")); }
CError* CMinMax::attrScalePower() { return setField(mPower, getDoubleAttr("scale-power")); }

CError* CMinMax::setField(double& field, double value) {
    if (isSameReal(field, value))
        return nullptr;
    field = value;
    return traceError(fireEvent(CString("min-max-update"), false), getFullName());
}

CError* CMinMax::updateFromParams() {
    double newMin = 0.0;
    double newMax = 0.0;
    if (mRangeParam != nullptr) {
        CParamBridge* bridge = mRangeParam->bridge();
        if (mRangeActive && bridge != nullptr) {
            newMin = bridge->toDisplay(0, 0.0);
            newMax = bridge->toDisplay(0, 1.0);
        }
    } else if (mMinParam == nullptr || mMaxParam == nullptr) {
        return nullptr;
    } else if (mMinActive && mMaxActive) {
        CUIParamValue value;
        mMinParam->getNormalizedValue(value, 0, -1);
        newMin = mMinParam->toDisplay(0, value[0]);
        mMaxParam->getNormalizedValue(value, 0, -1);
        newMax = mMaxParam->toDisplay(0, value[0]);
    }
    if (isSameReal(mMin, newMin) && isSameReal(mMax, newMax))
        return nullptr;
    mMin = newMin;
    mMax = newMax;
    return traceError(fireEvent(CString("min-max-update"), false), getFullName());
}

} // namespace tal
