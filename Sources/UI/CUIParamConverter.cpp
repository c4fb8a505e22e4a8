#include "UI/CUIParamConverter.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CError.h"
#include "UI/CUIParam.h"

namespace tal {

CObject* CUIParamConverter::create() { return new CUIParamConverter(); }

void CUIParamConverter::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

CUIParamConverter::~CUIParamConverter() = default;

CError* CUIParamConverter::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mIsIgnoreNegative = getBoolAttr("is-ignore-negative");
    mIsInteger = getBoolAttr("is-integer");
    return nullptr;
}

CError* CUIParamConverter::onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t) {
    CObject* target = nullptr;
    if (CError* error = findObjectByAttr(target, CString("target"), true))
        return traceError(error, getFullName());
    CUIParamValue value;
    param->getPlainValue(value, elementOffset, -1);
    const CString& attrName = getTextAttr("attr");
    if (mIsInteger) {
        const std::int32_t n = std::int32_t(CAudioParamConverter::roundToInt(value[0])) + getIntAttr("incr");
        if (mIsIgnoreNegative && n < 0)
            return nullptr;
        return traceError(target->setIntAttr(attrName, n, true), getFullName());
    }
    return traceError(target->setDoubleAttr(attrName, value[0] + getDoubleAttr("incr"), true), getFullName());
}

} // namespace tal
