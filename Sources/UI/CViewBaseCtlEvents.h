#pragma once
#include "UI/CViewBaseState.h"

namespace tal {

// The input layer of every view: the flags the window layer reads when it routes mouse and keyboard
// input, and the nineteen input events it delivers. The base handlers of the mouse button and move
// events run the view's commands of the event; entering and leaving set and unset the state
// "hover". Controls override the handlers and call these as part of their own.
// UI thread only, no lock.
class CViewBaseCtlEvents : public CViewBaseState {
public:
    // The state layer's scheme plus "is-click-through" and the nineteen input events.
    static void initScheme(CObjectScheme* scheme);

    CViewBaseCtlEvents() = default;

    // Reads the five input flags after the layers below initialised.
    [[nodiscard]] CError* init() override;

    // Gives up the keyboard focus of the view's window: runs "focus-lost" on the object named by the
    // root view's "window"; nothing without one.
    [[nodiscard]] CError* dropWindowFocus();

    // --- handlers (the scheme reaches the most derived one) ---
    [[nodiscard]] virtual CError* attrIsClickThrough(CAttrValue& value);
    [[nodiscard]] virtual CError* onBlur();
    [[nodiscard]] virtual CError* onFocus(CAttrMap& args);
    [[nodiscard]] virtual CError* onKeyPress(CAttrMap& args);
    [[nodiscard]] virtual CError* onKeyRelease(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseCancel();
    [[nodiscard]] virtual CError* onMouseCancelR();
    [[nodiscard]] virtual CError* onMouseEnter();
    [[nodiscard]] virtual CError* onMouseEnterTop();
    [[nodiscard]] virtual CError* onMouseExit();
    [[nodiscard]] virtual CError* onMouseExitTop();
    [[nodiscard]] virtual CError* onMouseTopExit();
    [[nodiscard]] virtual CError* onMouseMove(CAttrMap& args);
    [[nodiscard]] virtual CError* onMousePress(CAttrMap& args);
    [[nodiscard]] virtual CError* onMousePressR(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseRelease(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseReleaseR(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseWheel(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseXbuttonPress(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseXbuttonRelease(CAttrMap& args);

    // --- the input flags ---
    bool isClickThrough() const noexcept { return mIsClickThrough; }
    bool isFocusable() const noexcept { return mIsFocusable; }
    bool isIntercepting() const noexcept { return mIsIntercepting; }
    bool isInterceptingAllowChilds() const noexcept { return mIsInterceptingAllowChilds; }
    bool isInterceptingHoverOther() const noexcept { return mIsInterceptingHoverOther; }

private:
    // Runs the commands of event with args (null for none), with this layer's trace line.
    CError* runCommands(const char* event, CAttrMap* args);
    // "mouse-enter" and "mouse-exit": the commands, then the state "hover" unless they failed.
    CError* hover(const char* event, bool enter);

    bool mIsClickThrough = false;
    bool mIsFocusable = false;
    bool mIsIntercepting = false;
    bool mIsInterceptingAllowChilds = false;
    bool mIsInterceptingHoverOther = false;
};

} // namespace tal
