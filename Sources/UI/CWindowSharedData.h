#pragma once
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CStringList.h"
#include "Other/CImageDraw.h"
#include "Platform/CSpinLock.h"
#include "UI/CImageScaleQueue.h"
#include "UI/CInputState.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CAttrMap;
class CColor;
class CImageLayer;
class CUpdateTimer;
class CUpdateTimerGroup;
class CView;
class CWindowRenderer;
struct CImageDraw;
struct CImageScaleQueue;

// "ui:window-shared-data": the state all windows of the editor share (input state, frame clock,
// popup counter, window list, image-draw pool, the update-timer groups). Every view looks it up at
// "ui.window-shared-data" when it initialises and fails without it. The window services views call
// are virtual so that tests can record them. UI thread only.
class CWindowSharedData : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CWindowSharedData() override;

    // A group child that goes away (also when the tree is released) leaves the registry.
    void removeChild(CObject* child) override;

    // --- shared state ---
    // The frame clock in seconds: the time of the frame being prepared (set by the window layer).
    double frameClock() const noexcept { return mFrameClock; }
    void setFrameClock(double seconds) noexcept { mFrameClock = seconds; }
    CInputState& inputState() noexcept { return mInputState; }
    // Counts the popups opened so far; the next popup's number.
    std::int32_t& popupCounter() noexcept { return mPopupCounter; }
    // The full names of the window renderers of all open windows, in registration order.
    CStringList& windowList() noexcept { return mWindowList; }

    // --- window services views call ---
    // The topmost view under the mouse in the renderer's window, or null (not owned). options: bit 0
    // hint mode, bit 1 honour click-through.
    virtual CView* getViewUnderMouse(CWindowRenderer* renderer, int options);
    // Makes view (or none) the hovered view of its window and sends the leave and enter events.
    // Returns an error object (owned by the caller) or null.
    [[nodiscard]] virtual CError* updateHoverPath(CView* view);
    // Counted show (true) or hide (false) of the mouse cursor.
    virtual void showCursor(bool show);
    // Opens the window of template tag as a child of the view parentView (full name) with attrs;
    // closingWindow names a window being closed first (or is empty). Returns an error object (owned
    // by the caller) or null.
    [[nodiscard]] virtual CError* openWindow(const CString& parentView, const CString& templateTag,
                                             const CString& windowName, const CAttrMap& attrs,
                                             const CString& closingWindow, bool showErrors);
    // Fills record with layer tinted by tint at opacity for the target scale, at once when the layer
    // is ready at that scale, else before painting. record stays owned by the caller.
    virtual void requestImage(CImageDraw& record, CImageLayer* layer, const CColor* tint, bool ignoreTintOpacity,
                              double opacity, double targetScale);

    // --- windows ---
    // Appends the renderer to the window list and applies the modal rule.
    [[nodiscard]] CError* registerWindow(CWindowRenderer* renderer);
    // Removes it (the first equal name), applies the modal rule and forgets it as the main window.
    // The process is never ended from here, whatever kind of window it was.
    [[nodiscard]] CError* unregisterWindow(CWindowRenderer* renderer);
    // The modal rule: while a window whose root view has "is-modal-window" is open, every other
    // window's root view but those below it gets "is-blocked" 1; otherwise all get 0.
    [[nodiscard]] CError* updateModalBlocking();
    void setMainWindow(CWindowRenderer* renderer);
    CWindowRenderer* getMainWindow() const;
    void setPopup(CObject* opener, CWindowRenderer* popup);
    CWindowRenderer* getPopup() const;
    // Popups and closing
    // The registered popup's root view, and the full name of the object that opened it.
    CView* getPopupRootView() const;
    const CString& popupOpenerPath() const noexcept { return mPopupOpenerPath; }
    // Whether the event pump is dispatching (a close asked for now is deferred).
    bool isInEventPump() const noexcept { return mIsInEventPump; }
    // Asks the root views of the window and of the windows opened from it (modal ones first, each
    // group newest first) through the window closer; it runs "perform-close-window" on the renderer
    // when all confirm. Returns an error object (owned by the caller) or null.
    [[nodiscard]] virtual CError* closeWindow(CWindowRenderer* renderer);
    // Shows a cursor hidden by drags at once and forgets the count.
    void showCursorForced();
    // The first window whose root view's "unique-name" is the text; null when none.
    CWindowRenderer* findWindowByUniqueName(const CString& name) const;
    // Delivers the window backend's queued events (up to n, none when n is 0) and, on a pumped main
    // loop, the editor's posted calls; never runs the host's loop. False when no window is left
    // that is not closing. Re-entered from a delivered event it returns true at once.
    bool processEvents(int n);
    // The view with the keyboard focus (null: none); runs "blur" on the old one and "focus"
    // ("is-tab") on the new one when it is focusable and enabled.
    [[nodiscard]] CError* setKeyFocusView(CView* view, bool isTab);
    CView* getKeyFocusView() const;
    // The view whose hint the status line shows (and its window), and the status line's update.
    [[nodiscard]] CError* setHintSource(CView* view, CWindowRenderer* window);
    [[nodiscard]] CError* setHintView();
    // The counted hide state of the mouse cursor: hides while the count is above 0.
    int cursorHideCount() const noexcept { return mCursorHideCount; }
    // The hovered view and its parent views (full names), innermost first.
    const CStringList& hoverPath() const noexcept { return mHoverPath; }

    // --- update-timer groups ---
    // Puts the timer into the group of its present period, creating the group (a child named
    // "group-timer" from the template "ui:update-timer-group") for the first timer of a period.
    [[nodiscard]] CError* addUpdateTimer(CUpdateTimer* timer);
    // Takes the timer out of the group of its present period, if any, and releases a group that
    // becomes empty.
    void removeUpdateTimer(CUpdateTimer* timer);
    // The group of a period; null when there is none.
    CUpdateTimerGroup* findUpdateTimerGroup(std::int32_t periodMs) const;
    int updateTimerGroupCount() const noexcept { return mTimerGroups.count(); }

    // --- image preparation ---
    // A draw record from the pool (which grows by 2048 records when it runs out), entered in the
    // list of this paint's requests. Valid until the paint after the next preparation.
    CImageDraw* takeImageDraw();
    // Asks for the layer at a scale for the record: a layer drawn unscaled at every scale, or one
    // already scaled to it, completes the record now; the others queue it and add their work
    // estimate to the scale's counters. UI thread, never while a preparation runs.
    void requestImage(CImageDraw* record, CImageLayer* layer, const CColor* tint, bool keepColorOpacity,
                      double opacity, double scale);
    // Scales every queued layer and completes the waiting records, with up to jobLimit pool jobs
    // beside the UI thread when the estimate is large enough; then the requested records go back
    // to the free list (keeping their contents for this paint's rendering).
    void prepareImages(int jobLimit);
    // Scales the queued layer with the smallest key and completes its records; false when none was
    // queued. Whether more were queued. UI thread and preparation jobs at once.
    bool prepareNextImage(CImageScaleQueue* queue);
    // The number of jobs the estimate of a queue asks for (a, b the work counters, n layers pending).
    static int preparationJobs(std::int64_t scaledPixels, std::int64_t weightedSourcePixels, int pendingLayers,
                               int jobLimit) noexcept;
    // Queries for tests: the queues in creation order and the pool's size.
    int scaleQueueCount() const noexcept { return int(mScaleQueues.size()); }
    CImageScaleQueue* scaleQueue(int index) const noexcept { return mScaleQueues[std::size_t(index)].get(); }
    int drawRecordCapacity() const noexcept { return int(mDrawChunks.size()) * kDrawChunk; }
    // The jobs the last prepareImages started, summed over its queues.
    int lastPreparationJobs() const noexcept { return mLastPreparationJobs; }

private:
    class CPrepareThread;
    static constexpr int kDrawChunk = 2048;

    double mFrameClock = 0.0;
    CInputState mInputState;
    std::int32_t mPopupCounter = 0;
    CStringList mWindowList;
    CString mMainWindowPath;
    CString mPopupOpenerPath;
    CString mPopupPath;
    CString mKeyFocusViewPath;
    CString mHintViewPath;
    CString mHintWindowPath;
    CStringList mHoverPath;      // the view under the mouse, then its parent views
    CString mPendingHoverPath;
    int mCursorHideCount = 0;
    bool mIsCursorHidden = false;
    bool mIsInEventPump = false;
    bool mIsUpdatingHover = false;
    bool mIsHoverPending = false;
    CSpinLock mPrepareLock;                                        // guards the queues' maps during preparation
    std::vector<std::unique_ptr<CImageScaleQueue>> mScaleQueues;   // never shrinks
    std::vector<std::unique_ptr<CImageDraw[]>> mDrawChunks;        // kept until destruction
    CImageDraw* mFreeDraws = nullptr;
    CImageDraw* mRequestedHead = nullptr;                          // newest first
    CImageDraw* mRequestedTail = nullptr;
    int mLastPreparationJobs = 0;
    CSortedMap<std::int32_t, CUpdateTimerGroup*> mTimerGroups;   // not owned: the groups are children
};

} // namespace tal
