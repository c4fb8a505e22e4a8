#pragma once
#include "Core/CObject.h"
#include "Core/CStringList.h"
#include "UI/CInputState.h"

#include <cstdint>

namespace tal {

class CAttrMap;
class CColor;
class CImageLayer;
class CView;
class CWindowRenderer;
struct CImageDraw;

// "ui:window-shared-data": the state all windows of the editor share (input state, frame clock,
// popup counter, window list, image-draw pool). Every view looks it up at "ui.window-shared-data"
// when it initialises and fails without it. The window layer fills in its state and implements the
// window services views call; they are virtual so that tests can record them. UI thread only.
class CWindowSharedData : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

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

private:
    double mFrameClock = 0.0;
    CInputState mInputState;
    std::int32_t mPopupCounter = 0;
    CStringList mWindowList;
};

} // namespace tal
