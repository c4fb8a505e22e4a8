#pragma once
#include "Core/CObject.h"

namespace tal {

// The object that shows one window: it paints the root view's tree into the window's tiles, routes
// input to the views and keeps the window's place on the screen. It is a child of the window's root
// view, whose attribute "window" holds its full name; views reach it through that attribute.
// Owned by the object tree. UI thread only.
// Its events that views run: "content-ready", "update-window-bounds", "close-window",
// "minimize-window", "popup-close", "update-window-origin", "focus-lost", "move-mouse-cursor"
// ("x", "y" in screen points; "is-skip-update", "is-wrap-around") and "wrap-around-mouse-cursor".
// It fires "render" once per frame. Its real attributes "actual-x" and "actual-y" hold the screen
// position of the window content's top-left corner in points.
class CWindowRenderer : public CObject {
public:
    static CObject* create();
    // Registers the events views run (see above).
    static void initScheme(CObjectScheme* scheme);

    // --- what views call ---
    // The outermost window: follows windows opened from views of other windows (popups) up to the
    // window that is not below another; this window when it is not below one.
    virtual CWindowRenderer* getOutermostWindow();
    // The factor between mouse movement and window pixels: 1.0 on this platform.
    virtual double getMouseScale();
    // Reads the window's frame and stores the content's top-left screen position in "actual-x" and
    // "actual-y". quiet: no log lines. Returns an error object (owned by the caller) or null.
    [[nodiscard]] virtual CError* updateActualPosition(bool quiet);
    // Whether the mouse is inside the window.
    bool isMouseInside() const noexcept { return mIsMouseInside; }
    // The native window (null while the window is not open) and the address of the member that holds it.
    void* getNativeWindow() const noexcept { return mNativeWindow; }
    void** getNativeWindowRef() noexcept { return &mNativeWindow; }

protected:
    bool mIsMouseInside = false;
    void* mNativeWindow = nullptr;   // not owned: the window layer's
};

} // namespace tal
