#pragma once
#include "Core/CObject.h"

namespace tal {

class CViewBaseState;

// A "ui:view-state" child of a view: the state named by "state-name" sets the attributes its
// "state-attrs" lists to its own values for as long as the state is set on the view. Registered
// with the view in initChilds, unregistered when detached.
class CViewState : public CObject {
public:
    static CObject* create();

    [[nodiscard]] CError* initChilds() override;
    void detachFromParent() override;

    const CString& stateName() const noexcept { return mStateName; }
    CViewBaseState* ownerView() const noexcept { return mOwnerView; }

private:
    CString mStateName;
    CViewBaseState* mOwnerView = nullptr;   // not owned
};

} // namespace tal
