// The window renderer's input routing: mouse buttons, moves, wheel steps and keys from the native
// window (or the plug-in host) reach the view that is to receive them.
#include "UI/CWindowRenderer.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/Log.h"
#include "Platform/CNativeEvent.h"
#include "UI/CHIDInfoUpdateHandler.h"
#include "UI/CInputState.h"
#include "UI/CView.h"
#include "UI/CWindowSharedData.h"
#include "UI/Controls/CTextView.h"
#include "UI/KeyFocusHolder.h"
#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

namespace {

constexpr int kNoButton = '?';
constexpr double kWrapBand = 70.0;   // points from a screen edge where the pointer wraps

// Options of CWindowSharedData::getViewUnderMouse.
constexpr int kHintMode = 1;
constexpr int kHonourClickThrough = 2;

bool boolOf(CAttrMap& args, const char* name) {
    CAttrValue* value = args.findValue(name);
    return value != nullptr && value->asBool();
}

std::int32_t intOf(CAttrMap& args, const char* name) {
    CAttrValue* value = args.findValue(name);
    return value != nullptr ? value->asInt() : 0;
}

void copyArg(CAttrMap& from, CAttrMap& to, const char* name) {
    CAttrValue* value = from.findValue(name);
    to.findOrAdd(name)->value.setInt(value != nullptr && value->asBool() ? 1 : 0);
}

void copyModifiers(CAttrMap& from, CAttrMap& to) {
    copyArg(from, to, "is-alt");
    copyArg(from, to, "is-ctrl");
    copyArg(from, to, "is-shift");
}

CView* viewAt(const CObject& from, const CString& path) {
    return path.isEmpty() ? nullptr : dynamic_cast<CView*>(from.findObject(path));
}

CView* skipClickThrough(CView* view) {
    while (view != nullptr && view->isClickThrough())
        view = view->parentView();
    return view;
}

CView* skipDecorative(CView* view) {
    while (view != nullptr && view->isDecorative())
        view = view->parentView();
    return view;
}

void logAndDrop(CError* error) {
    if (error != nullptr) {
        logError(error);
        delete error;
    }
}

} // namespace

// --- scheme ---

void CWindowRenderer::initInputScheme(CObjectScheme* scheme) {
    using R = CWindowRenderer;
    addArgsEventOf<R, &R::onMouseButton>(scheme, "mouse-button");
    addArgsEventOf<R, &R::onMouseXButton>(scheme, "mouse-xbutton");
    addArgsEventOf<R, &R::onMouseMove>(scheme, "mouse-move");
    addArgsEventOf<R, &R::onMouseWheel>(scheme, "mouse-wheel");
    addPlainEventOf<R, &R::onMouseExit>(scheme, "mouse-exit");
    addArgsEventOf<R, &R::onKeyPress>(scheme, "key-press");
    addArgsEventOf<R, &R::onKeyRelease>(scheme, "key-release");
    addPlainEventOf<R, &R::onFocusLost>(scheme, "focus-lost");
    addArgsEventOf<R, &R::onChangeKeyFocus>(scheme, "change-key-focus");
    addArgsEventOf<R, &R::onDropFiles>(scheme, "drop-files");
    addPlainEventOf<R, &R::onAutoClickTimer>(scheme, "auto-click-timer");
    addPlainEventOf<R, &R::onResetAutoClick>(scheme, "reset-auto-click");
    addArgsEventOf<R, &R::onMoveMouseCursor>(scheme, "move-mouse-cursor");
    addPlainEventOf<R, &R::onWrapAroundMouseCursor>(scheme, "wrap-around-mouse-cursor");
    addPlainEventOf<R, &R::onMinimizeWindow>(scheme, "minimize-window");
}

// --- helpers ---

bool CWindowRenderer::isSameOrInside(const CObject* a, const CObject* b) {
    if (a == nullptr || b == nullptr)
        return false;
    return a == b || a->isAtOrBelow(b->getFullName());
}

bool CWindowRenderer::isViewDisabled(const CViewBasePlacement* view) noexcept {
    for (; view != nullptr; view = view->parentPlacement())
        if (view->isDisabled())
            return true;
    return false;
}

void CWindowRenderer::addViewPosition(CView& view, CAttrMap& out) {
    double x = 0.0, y = 0.0, scale = 1.0;
    // Mouse points become window pixels with the window's pixel scale, as in the hit test.
    if (CWindowRenderer* window = view.getWindowRenderer()) {
        window->getWindowOrigin(x, y);
        scale = window->pixelScale();
    }
    const CInputState& input = sharedData()->inputState();
    const CAreaRect clip = view.area() != nullptr ? view.area()->clipRect() : CAreaRect{};
    out.findOrAdd("x")->value.setReal((input.mouseX - x) * scale - clip.x);
    out.findOrAdd("y")->value.setReal((input.mouseY - y) * scale - clip.y);
}

int CWindowRenderer::mapKeyCode(int code, bool ctrl, bool shift) noexcept {
    if (ctrl) {
        switch (code) {
        case 'A': case 'a': code = 0xE014; break;
        case 'X': case 'x': code = 0xE015; break;
        case 'C': case 'c': code = 0xE016; break;
        case 'V': case 'v': code = 0xE017; break;
        case 'Y': case 'y': code = 0xE019; break;
        case 'Z': case 'z': code = shift ? 0xE019 : 0xE018; break;
        case 0xE002: code = 0xE016; break;
        case 0xE003: case 0xE004: case 0xE007: case 0xE008: case 0xE00B: case 0xE00C: break;
        default: code = 0; break;
        }
    }
    if (code == 0 || code == 0xE00F || code == 0xE010)
        return 0;
    if (shift) {
        if (code == 0xE002)
            return 0xE017;
        if (code == 0xE018)
            return 0xE019;
    }
    return code;
}

bool CWindowRenderer::wrapAroundPoint(double px, double py, double x, double y, double width, double height,
                                      double& outX, double& outY) noexcept {
    bool moved = false;
    outX = px;
    if (px > x + width - kWrapBand) {
        outX = px - (width - 2 * kWrapBand);
        moved = true;
    }
    if (outX < x + kWrapBand) {
        outX += width - 2 * kWrapBand;
        moved = true;
    }
    outY = py;
    if (py > y + height - kWrapBand) {
        const double wrapped = py - (height - 2 * kWrapBand);
        if (wrapped >= y + kWrapBand) {
            outY = wrapped;
            moved = true;
        }
    } else if (py < y + kWrapBand) {
        outY = py + height - 2 * kWrapBand;
        moved = true;
    }
    return moved;
}

// --- native events ---

bool CWindowRenderer::routeNativeInput(const CNativeEvent& event) {
    using Type = CNativeEvent::Type;
    if (event.type == Type::Paint || event.type == Type::ScaleChanged || event.type == Type::Closed)
        return false;
    if (event.type == Type::FocusLost)
        return true;   // the key focus stays until a view or a click moves it
    CAttrMap args;
    auto setInt = [&args](const char* key, std::int32_t v) { args.findOrAdd(key)->value.setInt(v); };
    const std::uint32_t m = event.modifiers;
    setInt("is-shift", (m & CNativeEvent::kShift) != 0);
    setInt("is-ctrl", (m & CNativeEvent::kCtrl) != 0);
    setInt("is-alt", (m & CNativeEvent::kAlt) != 0);
    if (event.type == Type::KeyPress || event.type == Type::KeyRelease) {
        // Keys go to the window that holds the keyboard focus, in whichever window they arrived.
        CWindowRenderer* holder = getKeyFocusWindow();
        if (holder == nullptr)
            return true;
        setInt("keycode", event.keycode);
        holder->runNativeEvent(event.type == Type::KeyPress ? "key-press" : "key-release", args);   // errors logged
        return true;
    }
    double ox = 0.0, oy = 0.0;
    if (mBackend != nullptr && mWindowId != 0)
        mBackend->windowOrigin(mWindowId, ox, oy);
    args.findOrAdd("x")->value.setReal(ox + event.x);
    args.findOrAdd("y")->value.setReal(oy + event.y);
    setInt("is-button-l", (m & CNativeEvent::kLeftButton) != 0);
    setInt("is-button-r", (m & CNativeEvent::kRightButton) != 0);
    switch (event.type) {
    case Type::MouseMove:
        runNativeEvent("mouse-move", args);
        break;
    case Type::MouseButton:
        setInt("button", event.button == 0 ? 'L' : event.button == 1 ? 'R' : 2);
        setInt("is-button-down", event.down);
        setInt("is-double-click", event.doubleClick);
        runNativeEvent("mouse-button", args);
        break;
    case Type::MouseXButton: {
        // Forward is the extra button 1 (code 4), back the extra button 2 (code 3).
        const int xbutton = event.button == 2 ? 1 : 2;
        setInt("button", xbutton == 1 ? 4 : 3);
        setInt("xbutton", xbutton);
        setInt("is-xbutton1", xbutton == 1);
        setInt("is-xbutton2", xbutton == 2);
        setInt("is-button-down", event.down);
        setInt("is-double-click", 0);
        runNativeEvent("mouse-xbutton", args);
        break;
    }
    case Type::MouseWheel: {
        if (std::fabs(event.delta) < 0.01)
            break;
        const double steps = std::round(event.delta);
        setInt("delta", steps != 0.0 ? std::int32_t(steps) : event.delta > 0.0 ? 1 : -1);
        runNativeEvent("mouse-wheel", args);
        break;
    }
    case Type::MouseExit:
        runNativeEvent("mouse-exit", args);
        break;
    default:
        break;
    }
    return true;
}

// --- mouse ---

CError* CWindowRenderer::onMouseXButton(CAttrMap& args) { return traceError(onMouseButton(args), getFullName()); }

CError* CWindowRenderer::onMouseButton(CAttrMap& args) {
    CWindowSharedData* data = sharedData();
    if (data == nullptr)
        return nullptr;
    CInputState& input = data->inputState();
    input.setFromEvent(args, false);
    std::int32_t button = intOf(args, "button");
    const bool down = boolOf(args, "is-button-down");
    CWindowSharedData::PressState& press = data->pressState();
    if (down)
        press.rightClickSimulated = boolOf(args, "is-right-click-simulated");
    else if (button == 'L' && press.rightClickSimulated)
        button = 'R';
    if (CError* error = updateActualPosition(true))
        return traceError(error, getFullName());

    // One button at a time: the others are ignored until it is released.
    if (down) {
        if (press.button == button)
            press.button = kNoButton;   // a release went missing
        if (press.button != kNoButton)
            return nullptr;
        press.button = button;
        press.pressWindowPath = getFullName();
    } else if (press.button == button) {
        press.button = kNoButton;
    } else {
        if (press.button == kNoButton)
            press.capturePath = CString();
        return nullptr;
    }

    CView* under = data->getViewUnderMouse(this, kHonourClickThrough);
    CView* capture = viewAt(*this, press.capturePath);
    CView* pressed = viewAt(*this, press.pressedViewPath);
    CObject* opener = data->getPopupOpener();
    CView* popupRoot = data->getPopupRootView();

    CView* target = nullptr;
    if (capture != nullptr) {
        target = capture;
        if (capture->isInterceptingAllowChilds())
            target = under == nullptr ? nullptr : isSameOrInside(under, capture) ? under : capture;
        if (!down)
            press.capturePath = CString();
    } else {
        if (down && boolOf(args, "is-double-click"))
            if (CView* clicked = data->getViewUnderMouse(this, 0)) {
                const CString shotPath = clicked->getTextAttr("is-screenshot-on-double-click");
                if (!shotPath.isEmpty())
                    if (CObject* shooter = clicked->findObject(shotPath))
                        if (CError* error = shooter->runEvent(CString("take-screenshot")))
                            return traceError(error, getFullName());
            }
        target = skipClickThrough(under);
        if (target == nullptr && down && popupRoot != nullptr)
            return traceError(popupRoot->runEvent(CString("close-window")), getFullName());
    }

    if (!down) {
        if (pressed != nullptr) {
            const bool stays = target == pressed ||
                               (static_cast<CObject*>(pressed) == opener && isSameOrInside(target, popupRoot));
            press.pressedViewPath = CString();
            if (!stays && !isViewDisabled(pressed))
                if (CError* error = pressed->runEvent(CString(button == 'L' ? "mouse-cancel" : "mouse-cancel-r")))
                    return traceError(error, getFullName());
        }
        // The release of the click that opened a drop-down stays with the open popup.
        if (popupRoot != nullptr && opener != nullptr && static_cast<CObject*>(target) == opener &&
            !opener->getBoolAttr("is-drop-down-behavior-disabled"))
            return nullptr;
    }
    if (target == nullptr)
        return nullptr;
    if (!down && popupRoot == nullptr && pressed != nullptr && target != pressed &&
        target->isBelow(pressed->getFullName()) && target->getWindowRenderer() == pressed->getWindowRenderer())
        target = pressed;
    if (down && popupRoot != nullptr && opener != nullptr && !isSameOrInside(target, popupRoot))
        if (CError* error = popupRoot->runEvent(CString("close-window")))
            return traceError(error, getFullName());
    if (!down && target != pressed &&
        !(popupRoot != nullptr && isSameOrInside(pressed, opener) && isSameOrInside(target, popupRoot)))
        return nullptr;
    CWindowRenderer* window = target->getWindowRenderer();
    if (window == nullptr || window->getBoolAttr("is-blocked"))
        return nullptr;

    CAttrMap params;
    addViewPosition(*target, params);
    copyModifiers(args, params);
    const char* name = nullptr;
    if (down) {
        press.pressedViewPath = target->getFullName();
        if ((button == 'L' || (button == 'R' && dynamic_cast<CTextView*>(target) == nullptr)) &&
            !mIsHelperWindow)
            if (CError* error = data->setKeyFocusView(target, false))
                return traceError(error, getFullName());
        if (target->isIntercepting())
            press.capturePath = target->getFullName();
        copyArg(args, params, "is-double-click");
        name = button == 'L' ? "mouse-press" : "mouse-press-r";
    } else {
        name = button == 'L' ? "mouse-release" : "mouse-release-r";
    }
    if (const std::int32_t xbutton = intOf(args, "xbutton"); xbutton > 0) {
        params.findOrAdd("xbutton")->value.setInt(xbutton);
        copyArg(args, params, "is-xbutton1");
        copyArg(args, params, "is-xbutton2");
        name = down ? "mouse-xbutton-press" : "mouse-xbutton-release";
    }
    if (isViewDisabled(target))
        return nullptr;
    if (CError* error = target->runEvent(CString(name), &params))
        return traceError(error, getFullName());
    if (CError* error = target->updateLayout())
        return traceError(error, getFullName());
    if (CView* hovered = data->getViewUnderMouse(this, 0); hovered != target)
        if (CError* error = data->updateHoverPath(hovered))
            return traceError(error, getFullName());
    if (CView* hinted = data->getViewUnderMouse(this, kHintMode); hinted != target) {
        if (CError* error = data->setHintSource(hinted, nullptr))
            return traceError(error, getFullName());
        window->mIsMouseInside = false;
    }
    return nullptr;
}

CError* CWindowRenderer::onMouseWheel(CAttrMap& args) { return traceError(onMouseMove(args), getFullName()); }

CError* CWindowRenderer::onMouseMove(CAttrMap& args) {
    CWindowSharedData* data = sharedData();
    if (data == nullptr)
        return nullptr;
    mHasUserInteraction = true;
    data->inputState().setFromEvent(args, false);
    if (CError* error = updateActualPosition(true))
        return traceError(error, getFullName());
    CView* capture = viewAt(*this, data->pressState().capturePath);
    CView* under = data->getViewUnderMouse(this, 0);
    CView* hint = data->getViewUnderMouse(this, kHintMode);

    CView* target = nullptr;
    CView* hoverOther = nullptr;
    if (capture != nullptr) {
        if (capture->isInterceptingHoverOther() && under != nullptr)
            hoverOther = skipDecorative(under);
        const bool allowChilds = capture->isInterceptingAllowChilds();
        if (allowChilds && under == nullptr)
            return traceError(onMouseExit(), getFullName());
        target = allowChilds && isSameOrInside(under, capture) ? under : capture;
        if (data->cursorHideCount() > 0 && (!allowChilds || !isSameOrInside(under, capture)))
            hint = capture;
    } else {
        if (under == nullptr)
            return traceError(onMouseExit(), getFullName());
        target = under;
    }
    target = skipDecorative(target);
    if (target == nullptr)
        return nullptr;
    CWindowRenderer* window = target->getWindowRenderer();
    if (window != nullptr && window->getBoolAttr("is-blocked"))
        return nullptr;
    CWindowRenderer* popup = data->getPopup();
    if (popup != nullptr && window != popup && !isSameOrInside(target, data->getPopupOpener())) {
        if (CError* error = data->updateHoverPath(hoverOther != nullptr ? hoverOther : target))
            return traceError(error, getFullName());
        if (CError* error = data->setHintSource(hint, nullptr))
            return traceError(error, getFullName());
    }
    if (window == nullptr)
        return nullptr;
    window->mIsMouseInside = true;
    if (!isViewDisabled(target)) {
        CAttrMap params;
        addViewPosition(*target, params);
        params.findOrAdd("button")->value.setInt(data->pressState().button);
        copyArg(args, params, "is-button-l");
        copyArg(args, params, "is-button-r");
        copyModifiers(args, params);
        if (const std::int32_t delta = intOf(args, "delta"); delta != 0) {
            params.findOrAdd("delta")->value.setInt(delta < 0 ? -1 : 1);
            if (CError* error = target->runEvent(CString("mouse-wheel"), &params))
                return traceError(error, getFullName());
        } else {
            if (CError* error = target->runEvent(CString("mouse-move"), &params))
                return traceError(error, getFullName());
            if (hoverOther != nullptr && hoverOther != target)
                if (CError* error = hoverOther->runEvent(CString("mouse-move"), &params))
                    return traceError(error, getFullName());
        }
    }
    if (capture == nullptr)
        if (CError* error = data->updateHoverPath(target))
            return traceError(error, getFullName());
    return traceError(data->setHintSource(hint, nullptr), getFullName());
}

CError* CWindowRenderer::onMouseExit() {
    CWindowSharedData* data = sharedData();
    if (data == nullptr || !mIsMouseInside || getBoolAttr("is-blocked") ||
        viewAt(*this, data->pressState().capturePath) != nullptr)
        return nullptr;
    mIsMouseInside = false;
    if (CError* error = data->updateHoverPath(nullptr))
        return traceError(error, getFullName());
    return traceError(data->setHintSource(nullptr, this), getFullName());
}

bool CWindowRenderer::onHostWheel(bool negative) {
    CWindowSharedData* data = sharedData();
    if (data == nullptr)
        return true;
    CInputState& input = data->inputState();
    input.readSystemState(false, false);
    CAttrMap args;
    args.findOrAdd("delta")->value.setInt(negative ? -1 : 1);
    args.findOrAdd("x")->value.setReal(input.mouseX);
    args.findOrAdd("y")->value.setReal(input.mouseY);
    args.findOrAdd("is-button-l")->value.setInt(input.buttonL);
    args.findOrAdd("is-button-r")->value.setInt(input.buttonR);
    args.findOrAdd("is-alt")->value.setInt(input.alt);
    args.findOrAdd("is-ctrl")->value.setInt(input.ctrl);
    args.findOrAdd("is-shift")->value.setInt(input.shift);
    logAndDrop(runEvent(CString("mouse-wheel"), &args));
    return true;
}

// --- keys and focus ---

CError* CWindowRenderer::onKeyPress(CAttrMap& args) {
    if (CWindowSharedData* data = sharedData())
        data->inputState().setModifiersFromEvent(args);
    if (getBoolAttr("is-blocked"))
        return nullptr;
    return traceError(dispatchKey(args, true), getFullName());
}

CError* CWindowRenderer::onKeyRelease(CAttrMap& args) {
    if (CWindowSharedData* data = sharedData())
        data->inputState().setModifiersFromEvent(args);
    if (getBoolAttr("is-blocked"))
        return nullptr;
    return traceError(dispatchKey(args, false), getFullName());
}

CError* CWindowRenderer::dispatchKey(CAttrMap& args, bool press) {
    const bool alt = boolOf(args, "is-alt"), ctrl = boolOf(args, "is-ctrl"), shift = boolOf(args, "is-shift");
    const int code = mapKeyCode(intOf(args, "keycode"), ctrl, shift);
    if (code == 0)
        return nullptr;
    CWindowSharedData* data = sharedData();
    CView* target = data != nullptr ? data->getKeyFocusView() : nullptr;
    if (target == nullptr || isViewDisabled(target))
        return nullptr;
    CAttrMap params;
    params.findOrAdd("is-alt")->value.setInt(alt);
    params.findOrAdd("is-ctrl")->value.setInt(ctrl);
    params.findOrAdd("is-shift")->value.setInt(shift);
    params.findOrAdd("keycode")->value.setInt(code);
    return traceError(target->runEvent(CString(press ? "key-press" : "key-release"), &params), getFullName());
}

CError* CWindowRenderer::onFocusLost() {
    CWindowSharedData* data = sharedData();
    return data != nullptr ? traceError(data->setKeyFocusView(nullptr, false), getFullName()) : nullptr;
}

CError* CWindowRenderer::onChangeKeyFocus(CAttrMap& args) {
    CWindowSharedData* data = sharedData();
    if (data == nullptr)
        return nullptr;
    CAttrValue* path = args.findValue("key-focus-view");
    CView* view = path != nullptr ? viewAt(*this, path->asText()) : nullptr;
    return traceError(data->setKeyFocusView(view, boolOf(args, "is-tab")), getFullName());
}

// --- dropped files, automatic clicks ---

CError* CWindowRenderer::onDropFiles(CAttrMap& args) {
    CWindowSharedData* data = sharedData();
    if (data == nullptr)
        return nullptr;
    data->inputState().setFromEvent(args, true);
    if (CError* error = updateActualPosition(true))
        return traceError(error, getFullName());
    CView* view = data->getViewUnderMouse(this, 0);
    while (view != nullptr && !view->getBoolAttr("is-drop-files-enabled"))
        view = view->parentView();
    if (view == nullptr)
        return nullptr;
    return traceError(view->runEvent(CString("drop-files"), &args), getFullName());
}

CError* CWindowRenderer::onAutoClickTimer() {
    CWindowSharedData* data = sharedData();
    if (data == nullptr || mRootView == nullptr)
        return nullptr;
    const double now = data->frameClock();
    const double timeout = mRootView->getDoubleAttr("auto-click-timeout");
    if (mAutoClickDeadline < 1.0) {
        mAutoClickDeadline = now + timeout;
        return nullptr;
    }
    if (now < mAutoClickDeadline)
        return nullptr;
    mAutoClickDeadline = now + timeout;
    CView* view = skipClickThrough(data->getViewUnderMouse(this, 0));
    if (dynamic_cast<CTextView*>(view) == nullptr || isViewDisabled(view) || view->getWindowRenderer() != this ||
        getBoolAttr("is-blocked"))
        return nullptr;
    CAttrMap params;
    addViewPosition(*view, params);
    return traceError(view->runEvent(CString("auto-click"), &params), getFullName());
}

CError* CWindowRenderer::onResetAutoClick() {
    if (CWindowSharedData* data = sharedData(); data != nullptr && mRootView != nullptr)
        mAutoClickDeadline = data->frameClock() + mRootView->getDoubleAttr("auto-click-timeout");
    return nullptr;
}

// --- the pointer ---

CError* CWindowRenderer::onMoveMouseCursor(CAttrMap& args) {
    CAttrValue* xv = args.findValue("x");
    CAttrValue* yv = args.findValue("y");
    const double x = xv != nullptr ? xv->asReal() : 0.0, y = yv != nullptr ? yv->asReal() : 0.0;
    if (CWindowSharedData* data = sharedData()) {
        CInputState& input = data->inputState();
        input.mouseX = input.dragMouseX = x;
        input.mouseY = input.dragMouseY = y;
        // A drag may stop (and leave the list) while it is told.
        const CArray<CHIDInfoUpdateHandler*> drags(input.activeDrags);
        for (CHIDInfoUpdateHandler* drag : drags)
            drag->onMouseUpdate();
    }
    if (CWindowBackend* backend = mBackend != nullptr ? mBackend : CWindowBackend::current())
        backend->warpPointer(x, y);
    return nullptr;
}

CError* CWindowRenderer::onWrapAroundMouseCursor() {
    CWindowSharedData* data = sharedData();
    CWindowBackend* backend = mBackend != nullptr ? mBackend : CWindowBackend::current();
    if (data == nullptr || backend == nullptr)
        return nullptr;
    const double px = data->inputState().mouseX, py = data->inputState().mouseY;
    CAreaRect screen;
    if (!getScreenRectAt(px, py, screen))
        return nullptr;   // on no screen
    double x = 0.0, y = 0.0;
    if (!wrapAroundPoint(px, py, screen.x, screen.y, screen.width, screen.height, x, y))
        return nullptr;
    CAttrMap params;
    params.findOrAdd("x")->value.setReal(x);
    params.findOrAdd("y")->value.setReal(y);
    params.findOrAdd("is-skip-update")->value.setInt(1);
    params.findOrAdd("is-wrap-around")->value.setInt(1);
    return traceError(runEvent(CString("move-mouse-cursor"), &params), getFullName());
}

CError* CWindowRenderer::onMinimizeWindow() {
    if (mBackend != nullptr && mWindowId != 0 && !mIsEmbedded)
        mBackend->iconify(mWindowId);
    return nullptr;
}

} // namespace tal
