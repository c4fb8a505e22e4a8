#include "UI/CViewCommand.h"

#include "Core/CError.h"
#include "UI/CViewBaseState.h"

namespace tal {

namespace {

CString eventOf(const CObject& command) {
    CAttrValue* value = command.attrs().findValue("on-event");
    return value != nullptr ? value->asText() : CString();
}

} // namespace

CObject* CViewCommand::create() { return new CViewCommand; }

CError* CViewCommand::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    mOwnerView = dynamic_cast<CViewBaseState*>(parent());
    if (mOwnerView == nullptr)
        return newError("@talstr_CViewCommand_init_InvalidParent Parent object is not a view.", getFullName());
    mOwnerView->addCommand(eventOf(*this), this);
    return nullptr;
}

void CViewCommand::detachFromParent() {
    if (mOwnerView != nullptr) mOwnerView->removeCommand(eventOf(*this), this);
    mOwnerView = nullptr;
    CObject::detachFromParent();
}

} // namespace tal
