#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CError;
class CObject;
class CUIParam;

// The change of a UI parameter bound to a named slot, built on the stack for one call.
struct CUIParamChangeInfo {
    std::int32_t elementOffset = 0;
    std::int32_t elementCount = 0;  // 0: all elements
    CUIParam* param = nullptr;
    std::int32_t slotId = -1;
};

// The base, beside CObject (or a view class), of every object that owns UI parameters: its child
// "ui:ui-param" objects register with it and report activation and value changes, which it turns
// into calls of its virtual operations. Anonymous style: every parameter is reported as it is.
// Named-slot style (slots declared by relative path in the owner's init): a parameter whose full
// name equals a slot's resolved path is bound to it; the handler keeps one activity flag (every
// required slot bound to an active parameter) and disables an owner view (CUIParamOwnerView) while
// a required parameter is absent or inactive.
// Part of its owner; does not own the parameters. Editor thread only, no lock.
class CUIParamUpdateHandler : public CCheckedObject {
public:
    CUIParamUpdateHandler() = default;
    CUIParamUpdateHandler(const CUIParamUpdateHandler&) = delete;
    CUIParamUpdateHandler& operator=(const CUIParamUpdateHandler&) = delete;
    ~CUIParamUpdateHandler() override;

    // --- overridable news (base: nothing) ---
    virtual void onUIParamRegistered(CUIParam* param);
    virtual void onUIParamActivated(CUIParam* param);
    virtual void onUIParamDeactivated(CUIParam* param);
    // Value change without named slots; elementCount 0 means all elements.
    [[nodiscard]] virtual CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount);
    // Value change of the parameter bound to a named slot (only while the owner is active).
    [[nodiscard]] virtual CError* onRegisteredUIParamChanged(const CUIParamChangeInfo& info);
    [[nodiscard]] virtual CError* onUIParamActivityChanged(bool isActive);

    // --- operations ---
    // Declares a named slot (a path relative to the owner, such as ".ui-param-group") and returns
    // its id (0, 1, ... in call order). Called by the owner's init, before its children register.
    std::int32_t registerUIParam(const CString& name, bool isRequired);
    // Registers a child parameter: binds it to the first slot whose path names it. Error "Not an
    // object." when this handler is not part of a CObject.
    [[nodiscard]] CError* registerUIParam(CUIParam* param);
    // Recomputes the activity flag and the owner view's disabled state.
    [[nodiscard]] CError* checkUIParamActivity();
    [[nodiscard]] CError* notifyUIParamActivated(CUIParam* param);
    [[nodiscard]] CError* notifyUIParamDeactivated(CUIParam* param);
    [[nodiscard]] CError* handleUIParam(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount);

    // --- queries ---
    // The parameter bound to a slot; null without named slots, while inactive, or for an unknown
    // or unbound slot.
    CUIParam* getActiveUIParam(std::int32_t slotId) const;
    bool isUIParamActive() const noexcept { return mIsActive; }
    bool hasNamedSlots() const noexcept { return mHasNamedSlots; }
    // The object this handler is part of, or null.
    CObject* ownerObject();

protected:
    // Policy flags; a derived class may change them in its constructor or init.
    bool mDisableOnAbsent = true;
    bool mDisableOnInactive = true;
    bool mAllowAbsent = false;

private:
    struct CRegisteredUIParam {
        bool isRequired = false;
        CString name;
        CUIParam* param = nullptr;  // not owned: a child of the owner; never unbound
    };

    bool mIsActive = false;
    bool mHasNamedSlots = false;
    std::int32_t mNextSlotId = 0;
    CSortedMap<std::int32_t, CRegisteredUIParam> mSlots;
};

} // namespace tal
