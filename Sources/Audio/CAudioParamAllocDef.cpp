#include "Audio/CAudioParamAllocDef.h"

#include "Core/CError.h"

namespace tal {

CError* CAudioParamAllocDef::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    mParamName = getTextAttr("param-name");
    if (mParamName.isEmpty())
        return newError("@talstr_CAudioParamAllocDef_init_InvalidParamName Invalid parameter name specified.",
                        getFullName());
    mIndex = getIntAttr("index");
    if (mIndex < 0)
        return newError("@talstr_CAudioParamAllocDef_init_InvalidIndex Invalid parameter's '%1' index '%2' specified.",
                        getFullName(), mParamName, CString(mIndex));
    mUseAllGroups = getBoolAttr("use-all-groups");
    mUseAllElements = getBoolAttr("use-all-elements");
    mIsSmoothUpdate = getBoolAttr("is-smooth-update");
    return nullptr;
}

} // namespace tal
