#include "Audio/CAudioParamSharedStorage.h"

#include "Core/CAppData.h"

#include "Core/CError.h"

namespace tal {

CAppData* CAudioParamSharedStorage::getAppData() const {
    switch (mScope) {
        case Scope::kLocal: return &CAppData::localScope();
        case Scope::kGroup: return &CAppData::groupScope();
        case Scope::kGlobal: return &CAppData::globalScope();
    }
    return nullptr;
}

CError* CAudioParamSharedStorage::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    mParamName = getTextAttr("param");
    if (mParamName.isEmpty())
        return newError("@talstr_CAudioParamSharedStorage_init_InvalidParamName Invalid parameter name specified.",
                        getFullName());
    mDataName = getTextAttr("data-name");
    if (mDataName.isEmpty())
        return newError("@talstr_CAudioParamSharedStorage_init_InvalidDataName Invalid shared data name specified.",
                        getFullName());
    const CString& type = getTextAttr("storage-type");
    if (type == CString("local"))
        mScope = Scope::kLocal;
    else if (type == CString("group"))
        mScope = Scope::kGroup;
    else if (type == CString("global"))
        mScope = Scope::kGlobal;
    else
        return newError("@talstr_CAudioParamSharedStorage_init_InvalidStorageType Invalid storage type \"%1\" specified.",
                        getFullName(), type);
    return nullptr;
}

} // namespace tal
