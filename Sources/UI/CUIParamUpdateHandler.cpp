#include "UI/CUIParamUpdateHandler.h"

#include "Core/CError.h"
#include "Core/CObject.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamOwnerView.h"

namespace tal {

CUIParamUpdateHandler::~CUIParamUpdateHandler() = default;

void CUIParamUpdateHandler::onUIParamRegistered(CUIParam*) {}
void CUIParamUpdateHandler::onUIParamActivated(CUIParam*) {}
void CUIParamUpdateHandler::onUIParamDeactivated(CUIParam*) {}
CError* CUIParamUpdateHandler::onUIParamChanged(CUIParam*, std::int32_t, std::int32_t) { return nullptr; }
CError* CUIParamUpdateHandler::onRegisteredUIParamChanged(const CUIParamChangeInfo&) { return nullptr; }
CError* CUIParamUpdateHandler::onUIParamActivityChanged(bool) { return nullptr; }

CObject* CUIParamUpdateHandler::ownerObject() { return dynamic_cast<CObject*>(this); }

std::int32_t CUIParamUpdateHandler::registerUIParam(const CString& name, bool isRequired) {
    mHasNamedSlots = true;
    CRegisteredUIParam& slot = mSlots.findOrAdd(mNextSlotId)->value;
    slot.isRequired = isRequired;
    slot.name = name;
    return mNextSlotId++;
}

CError* CUIParamUpdateHandler::registerUIParam(CUIParam* param) {
    if (!mHasNamedSlots) {
        onUIParamRegistered(param);
        return nullptr;
    }
    CObject* owner = ownerObject();
    if (owner == nullptr)
        return newError("@talstr_CUIParamUpdateHandler_registerUIParam_NotAnObject Not an object.");
    const CString& paramName = param->getFullName();
    for (auto* node = mSlots.first(); node != nullptr; node = mSlots.next(node)) {
        if (owner->resolvePath(node->value.name) != paramName)
            continue;
        node->value.param = param;
        return traceError(checkUIParamActivity(), owner->getFullName());
    }
    return nullptr;
}

CError* CUIParamUpdateHandler::checkUIParamActivity() {
    const bool wasActive = mIsActive;
    mIsActive = true;
    for (auto* node = mSlots.first(); node != nullptr; node = mSlots.next(node)) {
        const CRegisteredUIParam& slot = node->value;
        if (!slot.isRequired)
            continue;
        const bool failing = slot.param != nullptr ? !slot.param->updateActive() : !mAllowAbsent;
        if (failing) {
            mIsActive = false;
            break;
        }
    }
    CObject* owner = ownerObject();
    if (mDisableOnAbsent || mDisableOnInactive) {
        auto* view = dynamic_cast<CUIParamOwnerView*>(this);
        bool disable = view != nullptr && owner != nullptr && owner->getBoolAttr("is-disabled");
        for (auto* node = mSlots.first(); node != nullptr && !disable; node = mSlots.next(node)) {
            const CRegisteredUIParam& slot = node->value;
            if (!slot.isRequired || (slot.param == nullptr && mAllowAbsent))
                continue;
            if (slot.param == nullptr)
                disable = mDisableOnAbsent;
            else if (mDisableOnInactive)
                disable = !slot.param->updateActive();
        }
        if (view != nullptr)
            if (CError* error = view->setDisabled(disable))
                return traceError(error, owner != nullptr ? owner->getFullName() : CString::emptyString);
    }
    if (mIsActive == wasActive)
        return nullptr;
    return traceError(onUIParamActivityChanged(mIsActive),
                      owner != nullptr ? owner->getFullName() : CString::emptyString);
}

CError* CUIParamUpdateHandler::notifyUIParamActivated(CUIParam* param) {
    if (!mHasNamedSlots) {
        onUIParamActivated(param);
        return nullptr;
    }
    return traceError(checkUIParamActivity());
}

CError* CUIParamUpdateHandler::notifyUIParamDeactivated(CUIParam* param) {
    if (!mHasNamedSlots) {
        onUIParamDeactivated(param);
        return nullptr;
    }
    return traceError(checkUIParamActivity());
}

CError* CUIParamUpdateHandler::handleUIParam(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount) {
    if (!mHasNamedSlots)
        return traceError(onUIParamChanged(param, elementOffset, elementCount));
    if (CError* error = checkUIParamActivity())
        return traceError(error);
    if (!mIsActive)
        return nullptr;
    for (auto* node = mSlots.first(); node != nullptr; node = mSlots.next(node)) {
        if (node->value.param != param)
            continue;
        CUIParamChangeInfo info;
        info.elementOffset = elementOffset;
        info.elementCount = elementCount;
        info.param = param;
        info.slotId = node->key;
        return traceError(onRegisteredUIParamChanged(info));
    }
    return nullptr;
}

CUIParam* CUIParamUpdateHandler::getActiveUIParam(std::int32_t slotId) const {
    if (!mHasNamedSlots || !mIsActive)
        return nullptr;
    auto* node = mSlots.find(slotId);
    return node != nullptr ? node->value.param : nullptr;
}

} // namespace tal
