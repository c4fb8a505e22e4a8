#pragma once
#include "Core/CAttrMap.h"
#include "Core/CObject.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

// "ui:window-opener": creates popups and windows from templates as children of the views that open
// them, each once the window it must wait for is gone (or drops the request after "wait-timeout"
// seconds). Requests are keyed by (opener view, tag): a second request for the same pair replaces the
// waiting one. While requests wait, a child interval timer "update-timer" (template
// "interval-timer-tag", interval "update-interval" read as an integer) polls them. A created popup
// window is reported as "popup-changed" ("opener", "popup") to the opener's window renderer, and
// every creation as "popup-created" ("is-local-popup", "window", "window-tag") to the opener view.
// A child of the shared window data; UI thread only.
class CWindowOpener : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CWindowOpener() override;

    // Queues or updates the request and processes the pending ones at once. Returns an error object
    // (owned by the caller) or null.
    [[nodiscard]] CError* requestOpen(const CString& openerPath, const CString& tag, const CString& name,
                                      const CAttrMap& attrs, const CString& waitPath, bool showErrors);
    // One pass over the pending requests; also the poll timer's handler. A request that fails to be
    // created is dropped (with those carried out before it in the pass) and its error returned; the
    // requests after it stay pending.
    [[nodiscard]] virtual CError* onUpdateTimer();

    // --- queries and test hooks ---
    int pendingCount() const noexcept { return int(mPending.size()); }
    bool hasPollTimer() const noexcept { return mPollTimer != nullptr; }
    // The clock read for request times (monotonic nanoseconds); tests install their own.
    using Clock = std::uint64_t (*)(void* context);
    void setClock(Clock clock, void* context) noexcept { mClock = clock, mClockContext = context; }

private:
    struct CWindowOpenRequest {
        CString openerPath;
        CString tag;
        CString name;
        CAttrMap attrs;
        bool showErrors = false;
        CString waitPath;
        double requestTime = 0.0;
        double waitTimeout = 0.0;
    };

    double now() const noexcept;
    [[nodiscard]] CError* carryOut(const CWindowOpenRequest& request);
    [[nodiscard]] CError* updatePollTimer();

    std::vector<std::unique_ptr<CWindowOpenRequest>> mPending;   // in request order
    bool mIsProcessing = false;
    CObject* mPollTimer = nullptr;              // not owned: a child
    Clock mClock = nullptr;
    void* mClockContext = nullptr;              // not owned
};

} // namespace tal
