#include "Core/CSharedAttribute.h"

#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"

namespace tal {

void CSharedAttributeListener::update(const CUpdateRecord* /*record*/) {
    // The writing thread: nothing but a post, the attribute changes on the bridge's thread.
    CObject* target = owner;
    CAttrMap args;
    target->postBridgedEvent(target->getFullName(), CString("update"), args);
}

CObject* CSharedAttribute::create() { return new CSharedAttribute; }

void CSharedAttribute::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addEventHandler(CString("update")).plain = [](CObject* object) -> CError* {
        if (CError* err = static_cast<CSharedAttribute*>(object)->onUpdate()) return traceError(err);
        return nullptr;
    };
}

CSharedAttribute::~CSharedAttribute() {
    // Before the strings go: a notification on another thread must not reach this object.
    mListener.detach();
}

CError* CSharedAttribute::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    const CString& storageType = getTextAttr("storage-type");
    CAppData* scope = CAppData::scopeNamed(storageType);
    if (scope == nullptr)
        return newError("@talstr_CSharedAttribute_init_InvalidStorageType Invalid storage type \"%1\" specified.",
                        getFullName(), storageType);
    const CString& attrName = getTextAttr("attribute");
    if (attrName.isEmpty())
        return newError("@talstr_CSharedAttribute_init_NoAttribute No attached attribute name specified.", getFullName());
    mScope = scope;
    mAttrName = attrName;
    mDataName = getTextAttr("data-name");
    if (mDataName.isEmpty()) mDataName = getShortName();
    mDefValue = getTextAttr("def-value");
    mListener.setNotifier(mScope, reinterpret_cast<std::intptr_t>(&mDataName));
    if (CError* err = onUpdate()) return traceError(err, getFullName());
    return nullptr;
}

CError* CSharedAttribute::onUpdate() {
    if (mScope == nullptr) return nullptr;
    const CString text = readAppDataString(mScope, mDataName, mDefValue);
    if (CError* err = setAttr(mAttrName, text, true)) return traceError(err, getFullName());
    return nullptr;
}

CError* CSharedAttribute::storeValue(const CString& text) {
    if (mScope != nullptr) writeAppDataString(mScope, mDataName, text, this);
    return nullptr;
}

void CSharedAttribute::releaseLinks() {
    mListener.detach();
    CObject::releaseLinks();
}

} // namespace tal
