#pragma once
#include "Core/CObject.h"

namespace tal {

class CViewBaseState;

// A "ui:view-command" child of a view: registered under the view's event "on-event", it runs the
// actions its attributes name when the view runs that event's commands (CViewBaseState::runCommand).
class CViewCommand : public CObject {
public:
    static CObject* create();

    [[nodiscard]] CError* init() override;
    void detachFromParent() override;

    CViewBaseState* ownerView() const noexcept { return mOwnerView; }

private:
    CViewBaseState* mOwnerView = nullptr;   // not owned
};

} // namespace tal
