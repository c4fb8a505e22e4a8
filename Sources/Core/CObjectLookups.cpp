#include "Core/CObjectLookups.h"

#include "Core/CError.h"

namespace tal {

namespace lookups {

CError* findError(const CObject& from, const CString& path) {
    const CString& self = from.getFullName();
    return newError("@talstr_CObject_findObjectChecked_FindError Unable to find object '%1' ('%2') at %3.", self, path,
                    from.resolvePath(path), self);
}

CError* castError(const CObject& from, const CString& path) {
    const CString& self = from.getFullName();
    return newError("@talstr_CObject_findObjectChecked_CastError Incompatible type of object '%1' ('%2') at %3.", self,
                    path, from.resolvePath(path), self);
}

CError* attrEmptyError(const CObject& from, const CString& attrName) {
    const CString& self = from.getFullName();
    return newError("@talstr_CObject_findObjectByAttr_AttrEmpty Object name attribute '%1' cannot be empty at %2.", self,
                    attrName, self);
}

CError* attrFindError(const CObject& from, const CString& attrName, const CString& path) {
    const CString& self = from.getFullName();
    return newError("@talstr_CObject_findObjectByAttr_FindError Name attribute '%1' refers to a non-existent object "
                    "'%2' ('%3') at %4.",
                    self, attrName, path, from.resolvePath(path), self);
}

CError* attrCastError(const CObject& from, const CString& attrName, const CString& path) {
    const CString& self = from.getFullName();
    return newError("@talstr_CObject_findObjectByAttr_CastError Name attribute '%1' refers to object '%2' ('%3') of "
                    "incompatible type at %4.",
                    self, attrName, path, from.resolvePath(path), self);
}

const CString& attrText(CObject& from, const CString& attrName) {
    CAttrValue* value = from.attrs().findValue(attrName);
    return value != nullptr ? value->asText() : CString::emptyString;
}

CError* createChild(CObject& parent, CObject*& child, const CString& tag, const CString& name, bool needTemplate,
                    const CAttrMap* initAttrs, const CAttrMap* setAttrs, ClassTest accepts) {
    child = nullptr;
    const CString& self = parent.getFullName();
    if (needTemplate && !parent.hasTemplate(tag))
        return newError("@talstr_CObject_createChild_NoTemplate Run-time template '%1' does not exist.", self, tag);
    CObject* made = nullptr;
    if (CError* err = parent.addChild(made, tag, name, true))
        return traceError(err, self);
    if (made == nullptr || !accepts(made)) {
        if (made != nullptr)
            made->release();
        return newError("@talstr_CObject_createChild_InvalidObjectClass Object of invalid class created (child tag "
                        "'%1', child name '%2').",
                        self, tag, name);
    }
    child = made;
    made->setInitialAttrs(initAttrs);
    if (setAttrs != nullptr)
        if (CError* err = made->setAttrs(*setAttrs, false))
            return traceError(err, self);
    if (CError* err = made->init())
        return traceError(err, self);
    if (CError* err = made->createChilds())
        return traceError(err, self);
    if (CError* err = made->initChilds())
        return traceError(err, self);
    return nullptr;
}

} // namespace lookups

CError* CObject::findObjectChecked(CObject*& out, const CString& path) const {
    CObject* found = findObject(path);
    if (found == nullptr)
        return lookups::findError(*this, path);
    out = found;
    return nullptr;
}

CError* CObject::findObjectByAttr(CObject*& out, const CString& attrName, bool required) {
    const CString& text = lookups::attrText(*this, attrName);
    if (text.isEmpty()) {
        out = nullptr;
        return required ? lookups::attrEmptyError(*this, attrName) : nullptr;
    }
    CObject* found = findObject(text);
    if (found == nullptr)
        return lookups::attrFindError(*this, attrName, text);
    out = found;
    return nullptr;
}

CError* CObject::createChild(CObject*& out, const CString& tag, const CString& name, bool needTemplate,
                             const CAttrMap* initAttrs, const CAttrMap* setAttrs) {
    out = nullptr;
    return lookups::createChild(*this, out, tag, name, needTemplate, initAttrs, setAttrs,
                                [](CObject*) { return true; });
}

} // namespace tal
