#include "UI/CViewBaseCtlEvents.h"

namespace tal {

namespace {

using View = CViewBaseCtlEvents;
using PlainOp = CError* (View::*)();
using ArgsOp = CError* (View::*)(CAttrMap&);

template <PlainOp Op>
CError* plainThunk(CObject* object) {
    if (CError* err = (static_cast<View*>(object)->*Op)()) return traceError(err, object->getFullName());
    return nullptr;
}

template <ArgsOp Op>
CError* argsThunk(CObject* object, CAttrMap* args) {
    CAttrMap none;
    if (CError* err = (static_cast<View*>(object)->*Op)(args != nullptr ? *args : none))
        return traceError(err, object->getFullName());
    return nullptr;
}

CError* clickThroughThunk(CObject* object, CAttrValue* value) {
    CAttrValue none;
    if (CError* err = static_cast<View*>(object)->attrIsClickThrough(value != nullptr ? *value : none))
        return traceError(err, object->getFullName());
    return nullptr;
}

struct CEventEntry {
    const char* name;
    CError* (*plain)(CObject*);
    CError* (*withArgs)(CObject*, CAttrMap*);
};

const CEventEntry kEvents[] = {
    {"blur", &plainThunk<&View::onBlur>, nullptr},
    {"focus", nullptr, &argsThunk<&View::onFocus>},
    {"key-press", nullptr, &argsThunk<&View::onKeyPress>},
    {"key-release", nullptr, &argsThunk<&View::onKeyRelease>},
    {"mouse-cancel", &plainThunk<&View::onMouseCancel>, nullptr},
    {"mouse-cancel-r", &plainThunk<&View::onMouseCancelR>, nullptr},
    {"mouse-enter", &plainThunk<&View::onMouseEnter>, nullptr},
    {"mouse-enter-top", &plainThunk<&View::onMouseEnterTop>, nullptr},
    {"mouse-exit", &plainThunk<&View::onMouseExit>, nullptr},
    {"mouse-exit-top", &plainThunk<&View::onMouseExitTop>, nullptr},
    {"mouse-top-exit", &plainThunk<&View::onMouseTopExit>, nullptr},
    {"mouse-move", nullptr, &argsThunk<&View::onMouseMove>},
    {"mouse-press", nullptr, &argsThunk<&View::onMousePress>},
    {"mouse-press-r", nullptr, &argsThunk<&View::onMousePressR>},
    {"mouse-release", nullptr, &argsThunk<&View::onMouseRelease>},
    {"mouse-release-r", nullptr, &argsThunk<&View::onMouseReleaseR>},
    {"mouse-wheel", nullptr, &argsThunk<&View::onMouseWheel>},
    {"mouse-xbutton-press", nullptr, &argsThunk<&View::onMouseXbuttonPress>},
    {"mouse-xbutton-release", nullptr, &argsThunk<&View::onMouseXbuttonRelease>},
};

bool flag(CObject& object, const char* name) {
    CAttrValue* value = object.attrs().findValue(name);
    return value != nullptr && value->asBool();
}

} // namespace

void CViewBaseCtlEvents::initScheme(CObjectScheme* scheme) {
    CViewBaseState::initScheme(scheme);
    scheme->addAttrHandler(CString("is-click-through")) = &clickThroughThunk;
    for (const CEventEntry& entry : kEvents) {
        CEventHandler& h = scheme->addEventHandler(CString(entry.name));
        h.plain = entry.plain;
        h.withArgs = entry.withArgs;
        h.hasArgs = entry.withArgs != nullptr;
    }
}

CError* CViewBaseCtlEvents::init() {
    if (CError* err = CViewBaseState::init()) return traceError(err, getFullName());
    mIsClickThrough = flag(*this, "is-click-through");
    mIsFocusable = flag(*this, "is-focusable");
    mIsIntercepting = flag(*this, "is-intercepting");
    mIsInterceptingAllowChilds = flag(*this, "is-intercepting-allow-childs");
    mIsInterceptingHoverOther = flag(*this, "is-intercepting-hover-other");
    return nullptr;
}

CError* CViewBaseCtlEvents::dropWindowFocus() {
    const CObject* rootView = rootPlacement();
    CAttrValue* window = rootView != nullptr ? rootView->attrs().findValue("window") : nullptr;
    const CString path = window != nullptr ? window->asText() : CString();
    CObject* target = path.isEmpty() ? nullptr : findObject(path);
    if (target == nullptr) return nullptr;
    if (CError* err = target->runEvent(CString("focus-lost"))) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBaseCtlEvents::attrIsClickThrough(CAttrValue& value) {
    mIsClickThrough = value.convert(CAttrValue::kBool) && value.asBool();
    return nullptr;
}

CError* CViewBaseCtlEvents::runCommands(const char* event, CAttrMap* args) {
    if (CError* err = runCommand(CString(event), args)) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBaseCtlEvents::hover(const char* event, bool enter) {
    // The commands may release the view: the hover state is set only on a view that is still there.
    CViewWatch watch(this);
    if (CError* err = runCommands(event, nullptr)) return err;
    if (watch.isViewGone()) return nullptr;
    CError* err = enter ? setState(CString("hover"), false) : unsetState(CString("hover"), false);
    return err != nullptr ? traceError(err, getFullName()) : nullptr;
}

CError* CViewBaseCtlEvents::onBlur() { return nullptr; }
CError* CViewBaseCtlEvents::onFocus(CAttrMap&) { return nullptr; }
CError* CViewBaseCtlEvents::onKeyPress(CAttrMap&) { return nullptr; }
CError* CViewBaseCtlEvents::onKeyRelease(CAttrMap&) { return nullptr; }
CError* CViewBaseCtlEvents::onMouseCancel() { return runCommands("mouse-cancel", nullptr); }
CError* CViewBaseCtlEvents::onMouseCancelR() { return runCommands("mouse-cancel-r", nullptr); }
CError* CViewBaseCtlEvents::onMouseEnter() { return hover("mouse-enter", true); }
CError* CViewBaseCtlEvents::onMouseEnterTop() { return nullptr; }
CError* CViewBaseCtlEvents::onMouseExit() { return hover("mouse-exit", false); }
CError* CViewBaseCtlEvents::onMouseExitTop() { return nullptr; }
CError* CViewBaseCtlEvents::onMouseTopExit() { return nullptr; }
CError* CViewBaseCtlEvents::onMouseMove(CAttrMap& args) { return runCommands("mouse-move", &args); }
CError* CViewBaseCtlEvents::onMousePress(CAttrMap& args) { return runCommands("mouse-press", &args); }
CError* CViewBaseCtlEvents::onMousePressR(CAttrMap& args) { return runCommands("mouse-press-r", &args); }
CError* CViewBaseCtlEvents::onMouseRelease(CAttrMap& args) { return runCommands("mouse-release", &args); }
CError* CViewBaseCtlEvents::onMouseReleaseR(CAttrMap& args) { return runCommands("mouse-release-r", &args); }
CError* CViewBaseCtlEvents::onMouseWheel(CAttrMap&) { return nullptr; }
CError* CViewBaseCtlEvents::onMouseXbuttonPress(CAttrMap&) { return nullptr; }
CError* CViewBaseCtlEvents::onMouseXbuttonRelease(CAttrMap&) { return nullptr; }

} // namespace tal
