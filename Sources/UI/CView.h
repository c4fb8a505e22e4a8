#pragma once
#include "Core/CArray.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Other/CLinearBitmap.h"
#include "UI/CSectorMap.h"
#include "UI/CViewBase.h"
#include "UI/CViewDrawItem.h"

#include <cstdint>
#include <memory>

namespace tal {

class CImageSet;
struct CInputState;
class CSector;
class CStringList;
class CViewColorTable;
class CWindowRenderer;
class CWindowSharedData;

// The base of every drawn element of the editor ("ui:view" and its sister tags). A view is an object
// of the description's tree; the views of one window form a tree under the window's root view,
// which owns the window's sector map. A view keeps its integer pixel rectangles (draw items), its
// colour table (own, or another view's through "shared-color"), and reaches its window through the
// root view's "window" attribute and the shared window data at "ui.window-shared-data".
// Ownership: a view owns its draw items, a share of its colour table and, on a root view, the
// sector map;
// the object tree owns the view. The root view's sector map outlives every descendant's detach.
// Threads: everything runs on the UI thread except paintToSector, paint and the draw-item queries,
// which the window renderer also runs on its workers, one sector per worker at a time; they read the
// view and write only the sector. Colour states are registered and the colour table refreshed on the
// UI thread beforehand (selectColorStates).
class CView : public CViewBase {
public:
    static CObject* create();
    // The input layer's scheme plus the attributes and events of this class.
    static void initScheme(CObjectScheme* scheme);

    CView() = default;
    ~CView() override;

    // --- life cycle ---
    // After the lower layers: the sector map (root view), the shared window data, the colour table,
    // the root and parent links and draw items 0 and 1.
    [[nodiscard]] CError* init() override;
    // The deferred attribute handlers and template children, then updateContent.
    [[nodiscard]] CError* createChilds() override;
    // The initial view state; on a root view the first layout pass and "content-ready"; then
    // "view-ready" to the listeners.
    [[nodiscard]] CError* initChilds() override;
    // Gives up the view's share of its colour table (freed with the last share) and removes the view
    // from the root view's sector map.
    void detachFromParent() override;

    // --- draw items and rectangles ---
    // Appends a zeroed item clipped by item 0 (the first item has no parent); returns its index.
    std::int32_t addDrawItem();
    std::int32_t drawItemCount() const noexcept { return mDrawItems.count(); }
    CViewDrawItem* drawItem(std::int32_t index) const noexcept { return mDrawItems[index]; }
    // Edges snapped to 1/128 pixel, then rounded half away from zero.
    static void snapRectToPixels(const CAreaRect& rect, CPixelRect& out) noexcept;
    // The layout's report of new rectangles: draw items, sector map, notifications, auto ratios.
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    const CAreaRect& lastClipRect() const noexcept { return mLastClip; }
    const CAreaRect& lastTotalRect() const noexcept { return mLastTotal; }

    // --- painting ---
    // On a root view: marks every sector under the root's own total rectangle (whatever rect is) and
    // drops the cached draw lists holding view.
    void invalidateSectors(const CAreaRect& rect, CViewBasePlacement* view) override;
    // Runs the pending layout pass and refreshes the hover path when this view is under the mouse.
    [[nodiscard]] CError* updateHover() override;
    // UI thread, before a paint: registers the colour states of the looks the view paints (shown and,
    // during a cross-fade, target), makes the shown one current and refreshes the colour table.
    void selectColorStates();
    // Paints the view into the sector's current target within the sector's clip rectangle, with its
    // cumulative opacity, a running look cross-fade and the debug overlay. Any thread, one sector at a
    // time; leaves the sector's target as it found it.
    void paintToSector(CSector& sector);
    // The view's own drawing into sector.target within sector.clipRect, in the colour state
    // sector.colorState. Must only read the view. CView draws nothing.
    virtual void paint(CSector& sector);
    // UI thread, once per frame before the view is painted; false: not painted this frame.
    [[nodiscard]] virtual bool prepareDraw();
    // How much of opaque (the opaque rectangle in the sector's bitmap coordinates) the view covers
    // opaquely, 0..1. CView: 0.
    virtual double getOpaqueFraction(CSector& sector, const CPixelRect& opaque);
    // XORs the visible part of item index in the sector's target with (255, 255, 255, 64).
    void drawDebugHighlight(CSector& sector, std::int32_t index) const;

    // --- attribute and event handlers (the scheme reaches the most derived one) ---
    [[nodiscard]] virtual CError* dumpTree(CObject* object, std::int32_t level, const CStringList* extraLines);
    [[nodiscard]] virtual CError* attrColor(CAttrValue& value);
    [[nodiscard]] virtual CError* attrDebugArea(CAttrValue& value);
    [[nodiscard]] virtual CError* attrImageSet(CAttrValue& value);
    [[nodiscard]] virtual CError* attrImageSetRange(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsGradientAnimated(CAttrValue& value);
    [[nodiscard]] virtual CError* onCloseWindow();
    [[nodiscard]] virtual CError* onDropFiles(CAttrMap& args);
    [[nodiscard]] virtual CError* onDynamicPaletteUpdated();
    [[nodiscard]] virtual CError* onGradientTimer();
    [[nodiscard]] virtual CError* onMinimizeWindow();
    [[nodiscard]] virtual CError* onPreCloseWindow(CAttrMap& args);
    [[nodiscard]] virtual CError* onPopupClosed();
    [[nodiscard]] virtual CError* onPopupCreated(CAttrMap& args);
    [[nodiscard]] virtual CError* onPopupToggle(CAttrMap& args);
    [[nodiscard]] virtual CError* onPopupResult(CAttrMap& args);
    [[nodiscard]] virtual CError* onRequestViewAreaUpdates();

    // Answers a "pre-close-window" request of the window closer named by args' "window-closer" with
    // "confirm-close-window" (confirm) or "deny-close-window", "queue-id" and "window" = object's full
    // name; post: through the nearest event bridge instead of now.
    [[nodiscard]] static CError* confirmCloseWindow(CObject* object, CAttrMap& args, bool confirm, bool post);

    // --- window services (none fails; without a window renderer they do nothing) ---
    // The object named by the root view's "window" when it is a window renderer; not owned.
    CWindowRenderer* getWindowRenderer() const;
    CInputState* getInputState() const;
    // The mouse position in window pixels; relative: to the clip (relativeToClip) or total
    // rectangle's origin, returning whether it lies within that rectangle (0.01 pixel tolerance).
    // Not relative: returns whether the mouse is in the window. Without a window: (-1, -1), false.
    bool getMousePosition(double out[2], bool relativeToClip, bool relative) const;
    // The window content's top-left corner in screen points; (0, 0) without a window.
    void getWindowOrigin(double out[2]) const;
    double getMouseScale() const;
    // The root view of the outermost window; null without a window renderer.
    CView* getMainRootView() const;
    // The shared window data's frame clock.
    double getTime() override;
    void moveMouseCursor(double x, double y);
    void moveMouseCursorInWindow(double x, double y);
    void moveMouseCursorToScreen(double x, double y);
    bool isMouseInWindow() const;
    void showCursor(bool show);
    // Listens to the window renderer's "render" with this view's handler of that name.
    void listenRenderEvent(const CString& handler);
    [[nodiscard]] CError* fireUpdateScroller();
    void* getNativeWindow() const;
    void** getNativeWindowRef() const;

    // --- queries ---
    CViewColorTable* colorTable() const noexcept { return mColorTable; }
    bool sharesColorTable() const noexcept { return mSharesColorTable; }
    CSectorMap* sectorMap() const noexcept { return mSectorMap.get(); }
    CWindowSharedData* windowSharedData() const noexcept { return mWindowSharedData; }
    CView* rootView() const noexcept { return mRootView; }
    CView* parentView() const noexcept { return mParentView; }
    CImageSet* imageSet() const noexcept { return mImageSet; }
    bool isDebugArea() const noexcept { return mIsDebugArea; }
    bool isAutoRatioX() const noexcept { return mIsAutoRatioX; }
    bool isAutoRatioY() const noexcept { return mIsAutoRatioY; }
    bool isGradientAnimated() const noexcept { return mIsGradientAnimated; }
    bool isWindowDraggable() const noexcept { return mIsWindowDraggable; }
    bool areAreaUpdatesRequested() const noexcept { return mAreAreaUpdatesRequested; }
    bool isEffectivelyDisabled() const noexcept { return mIsEffectivelyDisabled; }
    bool drawsThisFrame() const noexcept { return mDrawsThisFrame; }
    bool isPopup() const noexcept { return mIsPopup; }

    // --- the window renderer's bookkeeping (UI thread) ---
    void setEffectivelyDisabled(bool disabled) noexcept { mIsEffectivelyDisabled = disabled; }
    void setDrawsThisFrame(bool draws) noexcept { mDrawsThisFrame = draws; }
    // Replaces a root view's sector map (the old one is destroyed); takes ownership.
    void setSectorMap(std::unique_ptr<CSectorMap> map);

protected:
    // The colour-state index a paint of look's colour state reads (the table's current state for a
    // shared table); 0 when the state was not registered.
    std::int32_t colorStateOf(const CString& colorState) const noexcept;

    bool mIsDebugArea = false;
    CWindowSharedData* mWindowSharedData = nullptr;   // not owned: found by init
    std::unique_ptr<CSectorMap> mSectorMap;           // root views only
    CArray<CViewDrawItem*> mDrawItems;                // owned items
    CViewColorTable* mColorTable = nullptr;           // one share of it (own or borrowed)
    double mGradientStartTime = 0.0;
    CImageSet* mImageSet = nullptr;                   // not owned
    bool mIsAutoRatioX = false;
    bool mIsAutoRatioY = false;
    bool mSharesColorTable = false;
    bool mIsEffectivelyDisabled = false;
    bool mIsGradientAnimated = false;
    bool mIsPopup = false;
    bool mDrawsThisFrame = false;
    bool mAreAreaUpdatesRequested = false;
    bool mIsWindowDraggable = false;
    CAreaRect mLastClip;
    CAreaRect mLastTotal;
    CSortedMap<CString, CString> mPopupPaths;   // window tag to popup window path (main root view)
    CView* mParentView = nullptr;               // not owned; null for a root view
    std::unique_ptr<CString> mPopupWindowPath;
    CView* mRootView = nullptr;                 // not owned; this view for a root view

private:
    // Gives up the share of the colour table.
    void releaseColorTable();
    // Sets a real attribute with its handler run now when it differs.
    CError* writeAutoRatio(bool isX);
    CString windowPath() const;
    void dumpLine(const char* text) const;
};

} // namespace tal
