#include "UI/Controls/CMouseMoveNotifier.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"

namespace tal {

namespace {

// The own event name and the attribute naming the target's event, per operation.
struct COperationNames {
    const char* own;
    const char* attr;
};

constexpr COperationNames kOperationNames[CMouseMoveNotifier::OpCount] = {
    {"mouse-cancel", "mouse-cancel-event"},
    {"mouse-cancel-r", "mouse-cancel-r-event"},
    {"mouse-enter", "mouse-enter-event"},
    {"mouse-enter-top", "mouse-enter-top-event"},
    {"mouse-exit", "mouse-exit-event"},
    {"mouse-exit-top", "mouse-exit-top-event"},
    {"mouse-top-exit", "mouse-top-exit-event"},
    {"mouse-move", "mouse-move-event"},
    {"mouse-press", "mouse-press-event"},
    {"mouse-press-r", "mouse-press-r-event"},
    {"mouse-release", "mouse-release-event"},
    {"mouse-release-r", "mouse-release-r-event"},
    {"mouse-wheel", "mouse-wheel-event"},
    {"mouse-xbutton-press", "mouse-xbutton-press-event"},
    {"mouse-xbutton-release", "mouse-xbutton-release-event"},
};

} // namespace

CObject* CMouseMoveNotifier::create() { return new CMouseMoveNotifier(); }

CMouseMoveNotifier::~CMouseMoveNotifier() { mTargetView.reset(); }

CError* CMouseMoveNotifier::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mParentView = getBoolAttr("is-send-to-parent") ? parentView() : nullptr;
    for (int i = 0; i < OpCount; ++i) {
        CAttrValue* value = attrs().findValue(kOperationNames[i].attr);
        mForwardEventNames[i] = value != nullptr ? value->asText() : CString();
    }
    mTargetView.init(this, CString(), CString(), nullptr, CString("target-view"));
    return nullptr;
}

CError* CMouseMoveNotifier::forwardEvent(const CString& ownName, const CString& targetName) {
    CAttrMap empty;
    return forwardEventWithArgs(ownName, targetName, empty);
}

CError* CMouseMoveNotifier::forwardEventWithArgs(const CString& ownName, const CString& targetName, CAttrMap& args) {
    if (mParentView != nullptr)
        if (CError* error = mParentView->runEvent(ownName, &args))
            return error;
    if (targetName.isEmpty())
        return nullptr;
    if (CView* target = mTargetView.resolve())
        return target->runEvent(targetName, &args);
    return nullptr;
}

CError* CMouseMoveNotifier::forward(Operation op, CAttrMap* args) {
    const CString own(kOperationNames[op].own);
    CError* error = args != nullptr ? forwardEventWithArgs(own, mForwardEventNames[op], *args)
                                    : forwardEvent(own, mForwardEventNames[op]);
    return error != nullptr ? traceError(error, getFullName()) : nullptr;
}

CError* CMouseMoveNotifier::onMouseCancel() { return forward(OpCancel, nullptr); }
CError* CMouseMoveNotifier::onMouseCancelR() { return forward(OpCancelR, nullptr); }
CError* CMouseMoveNotifier::onMouseEnter() { return forward(OpEnter, nullptr); }
CError* CMouseMoveNotifier::onMouseEnterTop() { return forward(OpEnterTop, nullptr); }
CError* CMouseMoveNotifier::onMouseExit() { return forward(OpExit, nullptr); }
CError* CMouseMoveNotifier::onMouseExitTop() { return forward(OpExitTop, nullptr); }
CError* CMouseMoveNotifier::onMouseTopExit() { return forward(OpTopExit, nullptr); }
CError* CMouseMoveNotifier::onMouseMove(CAttrMap& args) { return forward(OpMove, &args); }
CError* CMouseMoveNotifier::onMousePress(CAttrMap& args) { return forward(OpPress, &args); }
CError* CMouseMoveNotifier::onMousePressR(CAttrMap& args) { return forward(OpPressR, &args); }
CError* CMouseMoveNotifier::onMouseRelease(CAttrMap& args) { return forward(OpRelease, &args); }
CError* CMouseMoveNotifier::onMouseReleaseR(CAttrMap& args) { return forward(OpReleaseR, &args); }
CError* CMouseMoveNotifier::onMouseWheel(CAttrMap& args) { return forward(OpWheel, &args); }
CError* CMouseMoveNotifier::onMouseXbuttonPress(CAttrMap& args) { return forward(OpXbuttonPress, &args); }
CError* CMouseMoveNotifier::onMouseXbuttonRelease(CAttrMap& args) { return forward(OpXbuttonRelease, &args); }

} // namespace tal
