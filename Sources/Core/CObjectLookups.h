#pragma once
#include "Core/CObject.h"

namespace tal {

// The typed lookups and the typed child creation of CObject: one instance per class looked up or
// created. The class test is a run-time cast, so T may also be an interface that the object's
// class implements beside CObject. Called on the thread that owns the tree; no lock.
namespace lookups {

// The errors, each with this object's full name in the message and as the trace line's object.
[[nodiscard]] CError* findError(const CObject& from, const CString& path);
[[nodiscard]] CError* castError(const CObject& from, const CString& path);
[[nodiscard]] CError* attrEmptyError(const CObject& from, const CString& attrName);
[[nodiscard]] CError* attrFindError(const CObject& from, const CString& attrName, const CString& path);
[[nodiscard]] CError* attrCastError(const CObject& from, const CString& attrName, const CString& path);
// The text of an attribute (converted and cached), the empty text when absent.
const CString& attrText(CObject& from, const CString& attrName);

using ClassTest = bool (*)(CObject* object);
// The steps of createChild; child is set once a child of the accepted class exists.
[[nodiscard]] CError* createChild(CObject& parent, CObject*& child, const CString& tag, const CString& name,
                                  bool needTemplate, const CAttrMap* initAttrs, const CAttrMap* setAttrs,
                                  ClassTest accepts);

} // namespace lookups

template <class T>
CError* CObject::findObjectChecked(T*& out, const CString& path) const {
    CObject* found = findObject(path);
    if (found == nullptr)
        return lookups::findError(*this, path);
    out = dynamic_cast<T*>(found);
    return out == nullptr ? lookups::castError(*this, path) : nullptr;
}

template <class T>
CError* CObject::findObjectByAttr(T*& out, const CString& attrName, bool required) {
    const CString& text = lookups::attrText(*this, attrName);
    if (text.isEmpty()) {
        out = nullptr;
        return required ? lookups::attrEmptyError(*this, attrName) : nullptr;
    }
    CObject* found = findObject(text);
    if (found == nullptr)
        return lookups::attrFindError(*this, attrName, text);
    out = dynamic_cast<T*>(found);
    return out == nullptr ? lookups::attrCastError(*this, attrName, text) : nullptr;
}

template <class T>
CError* CObject::createChild(T*& out, const CString& tag, const CString& name, bool needTemplate,
                             const CAttrMap* initAttrs, const CAttrMap* setAttrs) {
    out = nullptr;
    CObject* child = nullptr;
    CError* error = lookups::createChild(*this, child, tag, name, needTemplate, initAttrs, setAttrs,
                                         [](CObject* o) { return dynamic_cast<T*>(o) != nullptr; });
    if (child != nullptr)
        out = dynamic_cast<T*>(child);
    return error;
}

} // namespace tal
