#include "Core/CAttrDoubler.h"

#include "Core/CError.h"

namespace tal {

CObject* CAttrDoubler::create() { return new CAttrDoubler; }

void CAttrDoubler::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler(CString("value")) = [](CObject* object, CAttrValue*) -> CError* {
        if (CError* err = static_cast<CAttrDoubler*>(object)->attrValue()) return traceError(err);
        return nullptr;
    };
}

CError* CAttrDoubler::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    CStringList paths;
    getTextAttr("target").split(paths, ' ', true, true);
    if (paths.isEmpty())
        return newError("@talstr_CAttrDoubler_init_NoTargets No target objects specified.", getFullName());
    for (int i = 0; i < paths.count(); ++i) {
        const CString& path = paths[i];
        CObject* target = findObject(path);
        if (target == nullptr)
            return newError("@talstr_CAttrDoubler_init_TargetNotFound Target object '%1' not found.", getFullName(), path);
        mTargetNames.add(target->getFullName());
        mTargetIds.add(target->objectId());
    }
    mAttrName = getTextAttr("attr");
    return nullptr;
}

CError* CAttrDoubler::attrValue() {
    for (int i = 0; i < mTargetIds.count(); ++i) {
        CObject* target = findObject(mTargetNames[i]);
        if (target == nullptr || target->objectId() != mTargetIds[i]) continue;
        const CString text = getTextAttr("value");
        if (CError* err = target->setAttr(mAttrName, text, true)) return traceError(err, getFullName());
    }
    return nullptr;
}

} // namespace tal
