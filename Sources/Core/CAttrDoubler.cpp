#include "Core/CAttrDoubler.h"

#include "Core/CError.h"

namespace tal {

namespace {

const CObject& treeRoot(const CObject& object) { return object.root() != nullptr ? *object.root() : object; }

// A path that finds exactly this object again from any object of its tree: its unique child names
// from the root down. The full name cannot serve: an unnamed child has an empty name there, so the
// full name of a parent's first unnamed child ("p.") finds the parent, and that of a root's finds
// nothing; "#0" names that child exactly.
CString exactPath(const CObject& target, const CObject& from) {
    CString path;
    for (const CObject* o = &target; o->parent() != nullptr; o = o->parent()) {
        CString name = o->getShortName();
        if (name.isEmpty()) name = CString("#0");
        path = path.isEmpty() ? name : name + CString(".") + path;
    }
    const CObject* shared = CObject::sharedObject();
    if (&treeRoot(target) != &treeRoot(from) && shared != nullptr && &treeRoot(target) == &treeRoot(*shared))
        return CString("shared::") + path;
    return CString("/") + path;
}

} // namespace

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
        mTargetNames.add(exactPath(*target, *this));
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
