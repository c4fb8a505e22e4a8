#include "UI/CViewState.h"

#include "Core/CError.h"
#include "UI/CViewBaseState.h"

namespace tal {

CObject* CViewState::create() { return new CViewState; }

CError* CViewState::initChilds() {
    if (CError* err = CObject::initChilds()) return traceError(err, getFullName());
    mOwnerView = dynamic_cast<CViewBaseState*>(parent());
    if (mOwnerView == nullptr)
        return newError("@talstr_CViewState_initChilds_InvalidParent Parent object is not a view.", getFullName());
    CAttrValue* name = attrs().findValue("state-name");
    mStateName = name != nullptr ? name->asText() : CString();
    if (mStateName.isEmpty()) return newError("@talstr_CViewState_initChilds_NoStateName State name is empty.", getFullName());
    if (CError* err = mOwnerView->registerState(mStateName, this)) return traceError(err, getFullName());
    return nullptr;
}

void CViewState::detachFromParent() {
    if (mOwnerView != nullptr) mOwnerView->unregisterState(mStateName);
    mOwnerView = nullptr;
    CObject::detachFromParent();
}

} // namespace tal
