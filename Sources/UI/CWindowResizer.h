#pragma once
#include "Core/CObject.h"
#include "Core/CTarget.h"
#include "UI/CUIParamUpdateHandler.h"

#include <cstdint>

namespace tal {

class CIntervalTimer;
class CView;

// "ui:window-resizer": keeps the main window's root view at the size of its two-element UI
// parameter ".ui-param-winsize" (width, height in unscaled units): sizes become pixels with the
// window scale, snap to whole units, clamp to the root view's "min-window-width/height" and
// "max-window-width/height" (the minimum wins), go to the root area as fixed sizes and end with
// "update-window-bounds" ("is-winsize" 1) on the window renderer. Parameter changes apply at most
// once per tick of the interval timer named by "update-timer"; the root view is "root-view".
// A child of the main window's renderer; UI thread only.
class CWindowResizer : public CObject, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CWindowResizer() override;

    [[nodiscard]] CError* init() override;
    // Applies a host-given size ("AUWindowWidth"/"AUWindowHeight" on the tree's root, both >= 2),
    // then the parameter's size, at once.
    [[nodiscard]] CError* initChilds() override;

    // Snaps (width, height in pixels) to whole units and applies it now or at the next tick; store:
    // write the applied size back to the parameter. Returns an error object or null.
    [[nodiscard]] CError* setSize(bool applyNow, bool store, double width, double height);
    // Clamps and applies a size in pixels; nothing while an application runs (re-entry).
    [[nodiscard]] CError* applySize(bool store, double width, double height);
    // Runs an event on the window renderer of the root view; nothing when either is missing.
    [[nodiscard]] CError* runWindowEvent(const CString& name, CAttrMap* args);

    // "update-timer": applies a waiting size.
    [[nodiscard]] virtual CError* onUpdateTimer();
    [[nodiscard]] CError* onRegisteredUIParamChanged(const CUIParamChangeInfo& info) override;

    // --- queries ---
    bool isPending() const noexcept { return mIsPending; }
    double pendingWidth() const noexcept { return mPendingWidth; }
    double pendingHeight() const noexcept { return mPendingHeight; }

private:
    double scale();

    double mPendingWidth = 0.0, mPendingHeight = 0.0;
    bool mIsBusy = false;
    bool mIsPending = false;
    bool mIsStorePending = false;
    std::int32_t mSizeSlot = -1;
    CTarget<CView> mRootView;
    CTarget<CIntervalTimer> mUpdateTimer;
};

} // namespace tal
