#pragma once
#include "Core/CTarget.h"
#include "UI/CView.h"

namespace tal {

// "ui:mouse-move-notifier": an invisible view that takes over all fifteen mouse operations and
// passes each on as an event: to its parent view under the operation's own event name (with
// "is-send-to-parent") and then to the view named by "target-view" under the name its
// "<operation>-event" attribute gives (empty: the target is not told). Argument maps pass on
// unchanged. Names and parent are fixed at init; the target resolves at each forwarding.
// Owned by the object tree; UI thread only.
class CMouseMoveNotifier : public CView {
public:
    static CObject* create();
    ~CMouseMoveNotifier() override;

    [[nodiscard]] CError* init() override;

    [[nodiscard]] CError* onMouseCancel() override;
    [[nodiscard]] CError* onMouseCancelR() override;
    [[nodiscard]] CError* onMouseEnter() override;
    [[nodiscard]] CError* onMouseEnterTop() override;
    [[nodiscard]] CError* onMouseExit() override;
    [[nodiscard]] CError* onMouseExitTop() override;
    [[nodiscard]] CError* onMouseTopExit() override;
    [[nodiscard]] CError* onMouseMove(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePress(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePressR(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseRelease(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseReleaseR(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseWheel(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseXbuttonPress(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseXbuttonRelease(CAttrMap& args) override;

    // Runs ownName on the parent view (when sending to it), then targetName on the target view
    // (when it resolves and the name is not empty), both with an empty argument map. The parent's
    // error stops the forwarding.
    [[nodiscard]] CError* forwardEvent(const CString& ownName, const CString& targetName);
    // The same with the received arguments.
    [[nodiscard]] CError* forwardEventWithArgs(const CString& ownName, const CString& targetName, CAttrMap& args);

    // The operations, in the order of forwardEventNames.
    enum Operation {
        OpCancel, OpCancelR, OpEnter, OpEnterTop, OpExit, OpExitTop, OpTopExit, OpMove, OpPress, OpPressR,
        OpRelease, OpReleaseR, OpWheel, OpXbuttonPress, OpXbuttonRelease, OpCount
    };
    const CString& forwardEventName(Operation op) const noexcept { return mForwardEventNames[op]; }
    CView* parentTarget() const noexcept { return mParentView; }

private:
    [[nodiscard]] CError* forward(Operation op, CAttrMap* args);

    CString mForwardEventNames[OpCount];
    CView* mParentView = nullptr;   // not owned
    CTarget<CView> mTargetView;
};

} // namespace tal
