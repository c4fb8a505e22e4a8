#include "Audio/CAudioParamFilterDef.h"

#include "Core/CError.h"

namespace tal {

CError* CAudioParamFilterDef::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    getTextAttr("src").split(mSourceNames, ',', true, true);
    if (mSourceNames.count() == 0)
        return newError("@talstr_CAudioParamFilterDef_init_NoSrcParams No source parameters defined.", getFullName());
    getTextAttr("dst").split(mDestinationNames, ',', true, true);
    if (mDestinationNames.count() == 0)
        return newError("@talstr_CAudioParamFilterDef_init_NoDstParams No destination parameters defined.",
                        getFullName());
    return nullptr;
}

} // namespace tal
