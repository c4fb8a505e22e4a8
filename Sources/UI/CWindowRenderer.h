#pragma once
#include "Core/CObject.h"
#include "Other/CLinearBitmap.h"
#include "Platform/CNativeWindowSink.h"
#include "Platform/CWindowBackend.h"
#include "UI/CAreaRect.h"

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
    // Forgets the timer children, which go before the renderer.
    void releaseLinks() override;

    // --- what views call ---
    // The factor between mouse movement and window pixels: 1.0 on this platform.
    virtual double getMouseScale();
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

    // Placement and scale
    // Pixel scale e (the backend's pixels per point, 2 while the main window's "is-retina-mode" is
    // set) and window scale f = "VisualScale" x e, written to the root area. initial: set at init,
    // without the backend's factor and without touching the window; otherwise a change restores the
    // stored position, lays out, re-applies the geometry and redraws everything.
    [[nodiscard]] virtual CError* updateScale(bool initial);
    // Re-applies the geometry after a size, scale or position change: sector map, alignment (auto),
    // centring over the owner or the flip above the opener, then the native frame (now, or at the
    // next render tick when the size changed after the first paint).
    [[nodiscard]] virtual CError* updateWindow();
    // Places the window by its root view's "window-alignment" relative to the opener view. Error
    // "Invalid window alignment '%1'".
    [[nodiscard]] virtual CError* createWindow();
    // Moves a popup aligned "bottom" or "bottom-local-center" above its opener when it does not fit
    // below it (or when the opener lies in the lower half of its window).
    [[nodiscard]] virtual CError* placePopupAboveOpener();
    // The stored position ("winpos-[owner id-]id" in application data), clamped into its screen.
    // Error "Window position ID is empty." for a stored window without an id.
    [[nodiscard]] virtual CError* restoreWindowPosition();
    // Writes the actual position (relative to the owner's, divided by its visual scale) once the
    // user moved the mouse in the window.
    virtual void storeWindowPosition();
    // Pulls a window that lies more than two thirds off its screen back into it.
    [[nodiscard]] virtual CError* constrainWindow();
    // Reads the content's top-left screen position from the backend; not quiet: also the window
    // position and the attributes "actual-x", "actual-y", "x", "y".
    [[nodiscard]] virtual CError* updateActualPosition(bool quiet);
    // The actual position and the root size in points.
    void getWindowRect(double& x, double& y, double& width, double& height);
    void getWindowOrigin(double& x, double& y);
    // The window at the end of the owner chain (this one when it has no owner).
    virtual CWindowRenderer* getOutermostWindow();
    // The window of the view under which this window's root view hangs; null for the main window.
    CWindowRenderer* getOwnerWindow() const;
    // Window position (rounded) and root size in points; (0, 0) position when embedded.
    CPixelRect computeFrameRect() const;
    // The visible rectangle of the first screen whose frame holds the point; false when none does.
    bool getScreenRectAt(double px, double py, CAreaRect& out) const;
    // The visible rectangle of the window's screen and the content's screen rectangle; false
    // without a native window.
    bool getScreenAndContentRects(CAreaRect& screen, CAreaRect& content);
    CAreaRect getMainScreenRect() const;
    double pixelScale() const noexcept;
    // Window scale / pixel scale: the user's zoom.
    double visualScale() const noexcept { return windowScale() / pixelScale(); }
    double windowX() const noexcept { return mWindowX; }
    double windowY() const noexcept { return mWindowY; }
    double actualX() const noexcept { return mActualX; }
    double actualY() const noexcept { return mActualY; }
    bool isWindowSizePending() const noexcept { return mIsWindowSizePending; }
    [[nodiscard]] virtual CError* attrIsRetinaMode();
    [[nodiscard]] virtual CError* attrPosition();
    [[nodiscard]] virtual CError* onConstrainWindow();
    [[nodiscard]] virtual CError* onUpdateActualPosTimer();
    [[nodiscard]] virtual CError* onUpdatePixelSize();
    // "update-window-bounds": updateWindow, then constrainWindow when "is-winsize" is true.
    [[nodiscard]] virtual CError* onUpdateWindowBounds(CAttrMap& args);
    [[nodiscard]] CError* onUpdateWindowBounds();
    [[nodiscard]] virtual CError* onUpdateWindowOrigin();
    // "update-window-scale" "mode": 1 stores the position, 2 rescales; error "Invalid mode.".
    [[nodiscard]] virtual CError* onUpdateWindowScale(CAttrMap& args);
    static void initPlacementScheme(CObjectScheme* scheme);

    // Popups and closing
    // "popup-changed" ("opener", "popup"): registers the popup window opened from a view of this
    // window with the shared data.
    [[nodiscard]] virtual CError* onPopupChanged(CAttrMap& args);
    // "activate-window": the registered popup (or a window opened from it) is active again.
    [[nodiscard]] virtual CError* onActivateWindow();
    // "deactivate-window": the registered popup lost the activation ("popup-deactivated" true).
    [[nodiscard]] virtual CError* onDeactivateWindow();
    // Closes this popup while "popup-deactivated" is true.
    [[nodiscard]] virtual CError* onDeactivateTimer();
    // "popup-close": closes the registered popup.
    [[nodiscard]] virtual CError* onPopupClose();
    // Closes a popup or helper window as soon as its owner window has moved.
    [[nodiscard]] virtual CError* onPopupPositionTimer();
    // "close-window": asks the views of this window and of the windows opened from it (through the
    // shared data and the window closer); "perform-close-window" follows when all agree.
    [[nodiscard]] virtual CError* onCloseWindow();
    // "close-app": closes a main window that is not embedded.
    [[nodiscard]] virtual CError* onCloseApp();
    // "perform-close-window": hides the window, ends the native side and releases the root view
    // through the event bridge; deferred (posted) while the shared data's event pump dispatches.
    [[nodiscard]] virtual CError* onPerformCloseWindow();
    // Ends the native side: shows a hidden cursor, releases the key-focus holder when it is this
    // window, stops every timer subscription, destroys the native window.
    void closeNativeWindow(bool stopTimers);
    // Stores the position, leaves the popup registry, the window list and the native side.
    void detachFromParent() override;
    bool isPopupWindow() const noexcept { return mIsPopupWindow; }
    bool isHelperWindow() const noexcept { return mIsHelperWindow; }
    static void initClosingScheme(CObjectScheme* scheme);

protected:
    bool mIsMouseInside = false;
    void* mNativeWindow = nullptr;   // not owned: the window layer's

private:
    class CRenderJob;

    CWindowSharedData* sharedData() const;
    // Creates the native window on the current backend.
    [[nodiscard]] CError* createContentView();
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

    // Placement and scale
    double mActualX = 0.0, mActualY = 0.0;   // screen position of the content's top-left corner
    double mBaseX = 0.0, mBaseY = 0.0;       // root view's "window-x", "window-y"
    bool mIsPositionStored = false;
    bool mIsStoredGlobally = false;
    bool mHasUserInteraction = false;
    bool mIsLayerSwitchPending = true;
    // Writes a log line followed by " // " and the renderer's full name when it has one.
    void logNamed(const char* text) const;

    // Popups and closing
    CUpdateTimer* mDeactivateTimer = nullptr;   // not owned: children
    CUpdateTimer* mPopupPositionTimer = nullptr;
    double mOwnerX = 0.0, mOwnerY = 0.0;         // last seen owner position; (0, 0): none yet
    bool mIsHelperWindow = false;
    bool mIsClosed = false;                      // the native side ended by a close
    // Makes the process-wide key-focus holder forget this window when it names it.
    void releaseKeyFocusIfHeld();
};

} // namespace tal
