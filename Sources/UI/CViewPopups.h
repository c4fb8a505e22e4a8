#pragma once
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <memory>

namespace tal {

class CAttrMap;
class CError;
class CView;

// The popup protocol of a view: "popup-toggle" opens a popup window from a template (named
// "popup-N" by the window's popup counter, placed below the view or at manual coordinates) or closes
// the one open for the same purpose; "popup-created" records where it is (a local popup on the view,
// the others in the main root view's registry by window tag); "popup-result" runs the view's
// commands, forwards the result along "popup-result-target" and closes the popup (a chain that comes
// back to a view it passed is stopped there and logged); error messages open the error window.
// One record per view: the local popup path and its open flag, and, on the main root view, the
// registry. The view's handlers call it with the main root view's record. UI thread only.
class CViewPopups {
public:
    // "popup-toggle" of view with args.
    [[nodiscard]] CError* toggle(CView& view, CViewPopups* mainRoot, const CAttrMap& args);
    // "popup-created" of view with args.
    void created(CView& view, CViewPopups* mainRoot, const CAttrMap& args);
    // "popup-result" of view with args.
    [[nodiscard]] static CError* result(CView& view, CAttrMap& args);
    // Shows an error result in the error window (the error is freed); false for null.
    bool showErrorResult(CView& view, CViewPopups* mainRoot, CError* result, const CString& title, bool allowCopy);
    // Opens the error window for view; a failure is logged.
    void showErrorPopup(CView& view, CViewPopups* mainRoot, const CString& message, const CString& title,
                        bool allowCopy);
    // Passes a wheel step to a scrollable view's vertical scroller bar.
    [[nodiscard]] static CError* forwardMouseWheel(CView& view, CAttrMap& args);

    // --- state ---
    const CString* localPopupPath() const noexcept { return mLocalPopupPath.get(); }
    bool isLocalPopupOpen() const noexcept { return mIsLocalPopupOpen; }
    // The main root view's popups by window tag (paths of popup windows).
    CSortedMap<CString, CString> registry;

private:
    void forgetLocalPopup();

    std::unique_ptr<CString> mLocalPopupPath;
    bool mIsLocalPopupOpen = false;
};

} // namespace tal
