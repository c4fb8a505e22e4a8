#pragma once
#include "Core/CObject.h"
#include "Other/CLinearBitmap.h"
#include "Platform/CNativeWindowSink.h"
#include "Platform/CWindowBackend.h"

#include <cstdint>

namespace tal {

class CAttrMap;
class CIntervalTimer;
class CSector;
class CSectorMap;
class CUpdateTimer;
class CView;
class CViewBasePlacement;
class CWindowSharedData;

// "ui:window-renderer": the object that shows one window. It is a child of the window's root view,
// whose attribute "window" holds its full name; views reach it through that attribute. It opens
// the native side on the current window backend when the root view reports "content-ready", paints
// the root view's tree into the sector map's tiles on its render timer (dirty sectors only, with
// sector caches, occlusion of static views and render jobs on the worker pool for large paints),
// presents the tiles, and turns the backend's native events into its own events.
// Owned by the object tree. UI thread only; render jobs run inside "paint" and are waited for.
// Its events that views run: "content-ready", "update-window-bounds", "close-window",
// "minimize-window", "popup-close", "update-window-origin", "focus-lost", "move-mouse-cursor"
// ("x", "y" in screen points; "is-skip-update", "is-wrap-around") and "wrap-around-mouse-cursor".
// It fires "render" once per frame after the first paint. Its real attributes "actual-x" and
// "actual-y" hold the screen position of the window content's top-left corner in points.
class CWindowRenderer : public CObject, public CNativeWindowSink {
public:
    static CObject* create();
    // Registers the attributes and events (see above, plus "paint" and "render-timer").
    static void initScheme(CObjectScheme* scheme);

    CWindowRenderer() = default;
    ~CWindowRenderer() override;

    // --- life cycle ---
    // Root view, sector map, window list, event bridge, base position; errors "Unable to find root
    // view.", "Unable to find sector map.", "Unable to locate a suitable event bridge.".
    [[nodiscard]] CError* init() override;
    // Registers the main window with the shared data.
    [[nodiscard]] CError* createChilds() override;
    // Finds the timer children ".render-timer" and ".update-actual-pos-timer".
    [[nodiscard]] CError* initChilds() override;
    // Closes the native side and leaves the window list.
    void releaseLinks() override;

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

    // --- event handlers ---
    [[nodiscard]] virtual CError* onContentReady();
    [[nodiscard]] virtual CError* onRenderTimer();
    // "paint" with "x", "y", "width", "height" in points, top-left origin.
    [[nodiscard]] virtual CError* onPaint(CAttrMap& args);
    [[nodiscard]] virtual CError* onUpdateWindowBounds();
    [[nodiscard]] virtual CError* onUpdateActualPosTimer();

    // --- CNativeWindowSink ---
    void onNativeEvent(const CNativeEvent& event) override;

    // --- painting ---
    [[nodiscard]] CError* flushLayout();
    // Asks the native side to redraw a rectangle in window pixels.
    void requestRedraw(const CPixelRect& rect);
    void applyWindowSize();
    void prepareSector(CSector& sector);
    // Renders the last sector of the render queue; whether the queue held more than one.
    bool renderNextSector();
    void renderSector(CSector& sector);
    // Appends a minus b as at most four rectangles.
    static void subtractRect(const CPixelRect& a, const CPixelRect& b, CArray<CPixelRect>& out);
    // Pool jobs beside the UI thread that a machine of that many processors allows.
    static int extraThreads(int processors) noexcept;
    // Jobs for a paint of that many view draws over that many pixels.
    static int renderJobs(int extra, std::int32_t viewDraws, std::int64_t drawnArea) noexcept;
    // Forces the render jobs of every paint (-1: the estimate decides); for tests and benchmarks.
    static void setForcedRenderJobs(int jobs) noexcept;

    // --- per-view painting steps (the view's own operations; tests record them) ---
    [[nodiscard]] virtual bool prepareView(CView& view);
    virtual void paintView(CView& view, CSector& sector);

    // The window's rectangle on the screen in points (top-left origin).
    void getWindowRect(double& x, double& y, double& width, double& height) const;

    // --- queries ---
    bool isClosing() const noexcept { return mIsClosing; }
    CView* rootView() const noexcept { return mRootView; }
    CSectorMap* sectorMap() const noexcept { return mSectorMap; }
    CWindowBackend::WindowId windowId() const noexcept { return mWindowId; }
    bool isOpened() const noexcept { return mIsOpened; }
    bool isEmbedded() const noexcept { return mIsEmbedded; }
    bool isMainWindow() const noexcept { return mIsMainWindow; }
    std::int32_t paintCounter() const noexcept { return mPaintCounter; }
    const CPixelRect& appliedFrame() const noexcept { return mAppliedFrame; }
    double windowScale() const noexcept;
    // The jobs of the last paint (0: UI thread alone) and its blit rectangle in window pixels.
    int lastRenderJobs() const noexcept { return mLastRenderJobs; }
    const CPixelRect& lastBlitRect() const noexcept { return mLastBlitRect; }

protected:
    bool mIsMouseInside = false;
    void* mNativeWindow = nullptr;   // not owned: the window layer's

private:
    class CRenderJob;

    CWindowSharedData* sharedData() const;
    // Creates the native window on the current backend.
    [[nodiscard]] CError* createContentView();
    void closeNativeWindow();
    CPixelRect computeFrameRect() const;
    // Runs one of this object's events for a native event; errors are logged.
    void runNativeEvent(const char* name, CAttrMap& args);

    CView* mRootView = nullptr;             // not owned: the parent
    CSectorMap* mSectorMap = nullptr;       // not owned: the root view's
    CUpdateTimer* mRenderTimer = nullptr;   // not owned: children
    CIntervalTimer* mActualPosTimer = nullptr;
    CWindowBackend* mBackend = nullptr;     // not owned: the backend the window was made on
    CWindowBackend::WindowId mWindowId = 0;
    CPixelRect mAppliedFrame;
    CPixelRect mLastBlitRect;
    double mWindowX = 0.0, mWindowY = 0.0;
    std::int32_t mPaintCounter = 0;
    int mLastRenderJobs = 0;
    bool mIsOpened = false;
    bool mIsEmbedded = false;
    bool mIsMainWindow = false;
    bool mIsPopupWindow = false;
    bool mIsWindowSizePending = false;
    bool mIsRegistered = false;
    bool mIsClosing = false;

    // Input routing
    // The events of the input routing: "mouse-button", "mouse-xbutton", "mouse-move", "mouse-wheel"
    // (screen points "x", "y"; "button", "is-button-down", "is-double-click",
    // "is-right-click-simulated", "xbutton", "delta"; "is-button-l", "is-button-r", "is-alt",
    // "is-ctrl", "is-shift"), "mouse-exit", "key-press" and "key-release" ("keycode" and the
    // modifiers), "focus-lost", "change-key-focus" ("key-focus-view", "is-tab"), "drop-files",
    // "auto-click-timer", "reset-auto-click", "move-mouse-cursor", "wrap-around-mouse-cursor",
    // "minimize-window". Each finds the view that receives the input (the capturing view, the
    // pressed view, the view under the mouse, the key focus view), closes the open popup on a
    // press elsewhere, and runs the view's event with "x", "y" in window pixels relative to the
    // view's clip rectangle.
public:
    static void initInputScheme(CObjectScheme* scheme);
    [[nodiscard]] virtual CError* onMouseButton(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseXButton(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseMove(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseWheel(CAttrMap& args);
    [[nodiscard]] virtual CError* onMouseExit();
    [[nodiscard]] virtual CError* onKeyPress(CAttrMap& args);
    [[nodiscard]] virtual CError* onKeyRelease(CAttrMap& args);
    [[nodiscard]] virtual CError* onFocusLost();
    [[nodiscard]] virtual CError* onChangeKeyFocus(CAttrMap& args);
    [[nodiscard]] virtual CError* onDropFiles(CAttrMap& args);
    [[nodiscard]] virtual CError* onAutoClickTimer();
    [[nodiscard]] virtual CError* onResetAutoClick();
    [[nodiscard]] virtual CError* onMoveMouseCursor(CAttrMap& args);
    [[nodiscard]] virtual CError* onWrapAroundMouseCursor();
    [[nodiscard]] virtual CError* onMinimizeWindow();
    // A wheel step from the plug-in host (negative: the host's distance is below 0), routed as
    // "mouse-wheel" at the pointer; errors are logged. Always true.
    bool onHostWheel(bool negative);
    // "key-press" (press) or "key-release" on the key focus view with the mapped "keycode".
    [[nodiscard]] CError* dispatchKey(CAttrMap& args, bool press);
    // The key code a view receives for a key with Control and Shift: the editing shortcuts become
    // the codes from 0xE014 on; 0 means the key is dropped.
    static int mapKeyCode(int code, bool ctrl, bool shift) noexcept;
    // Where the pointer at (px, py) wraps to on a screen of the rectangle (x, y, width, height):
    // within 70 points of an edge it jumps to 70 points inside the opposite one. False when it
    // stays.
    static bool wrapAroundPoint(double px, double py, double x, double y, double width, double height, double& outX,
                                double& outY) noexcept;
    // Whether a is b or lies below b in the object tree (false when b is null).
    static bool isSameOrInside(const CObject* a, const CObject* b);
    // Whether the view or one of its ancestors is disabled.
    static bool isViewDisabled(const CViewBasePlacement* view) noexcept;
    // The user moved the mouse over this window since it opened.
    bool hasUserInteraction() const noexcept { return mHasUserInteraction; }
    double autoClickDeadline() const noexcept { return mAutoClickDeadline; }

private:
    // Turns a native input event into the renderer's event; false for the other kinds.
    bool routeNativeInput(const CNativeEvent& event);
    // "x" and "y" of view at the current mouse position.
    void addViewPosition(CView& view, CAttrMap& out);

    double mAutoClickDeadline = 0.0;
    bool mHasUserInteraction = false;
};

} // namespace tal
