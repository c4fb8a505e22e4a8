#pragma once
#include "Core/CObject.h"
#include "Core/CSharedAttributeListener.h"
#include "Core/CString.h"

namespace tal {

class CAppData;

// "core:shared-attribute": one user setting kept in an application-data text item and shown as
// one of this object's attributes. Every shared attribute of the process with the same scope and
// item holds the same value: storeValue writes the item, and the scope's notification posts
// "update" to each of them (the writer included) through its event bridge, where onUpdate loads
// the item into the attribute on the bridge's thread.
// Attributes read by init: "storage-type" ("local", "group" or "global"), "attribute" (the name of
// the attribute that carries the value), "data-name" (the item; empty: this object's short name),
// "def-value" (the text used while the item holds nothing).
class CSharedAttribute : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    CSharedAttribute() : mListener(this) {}
    ~CSharedAttribute() override;

    [[nodiscard]] CError* init() override;
    void releaseLinks() override;
    // Loads the item's text (or the default) into the attribute; the thread of the event bridge.
    // Nothing on an object whose init failed.
    [[nodiscard]] virtual CError* onUpdate();
    // Stores a new value in the item; the attribute follows when "update" arrives. Any thread.
    // Always null; nothing on an object whose init failed.
    [[nodiscard]] CError* storeValue(const CString& text);

    CAppData* scope() const noexcept { return mScope; }
    const CString& dataName() const noexcept { return mDataName; }

private:
    CSharedAttributeListener mListener;
    CAppData* mScope = nullptr;  // not owned: the scopes are process-wide
    CString mAttrName;
    CString mDataName;
    CString mDefValue;
};

} // namespace tal
