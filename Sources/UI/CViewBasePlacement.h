#pragma once
#include "Core/CArray.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "UI/CAreaRect.h"
#include "UI/CViewArea.h"
#include "UI/CViewAreaUpdateHandler.h"

#include <cstdint>

namespace tal {

class CAttrValue;
class CError;

// The first layer of every view: it owns the view's layout node (a CViewArea under the area of the
// parent view), turns the placement attributes of the description into the area's programs and
// flags, and keeps the view's z, opacities, disabled flag and redraw requests.
// Abstract: views derive from it and implement invalidateSectors and updateHover.
// Ownership: owns its area (made by init, deleted with the view or by the next init); the parent and
// root pointers are not owned. A view whose init failed has no area: every handler and request then
// does nothing and returns null.
// UI thread only, no lock.
class CViewBasePlacement : public CObject, public CViewAreaUpdateHandler {
public:
    // Adds "release-child-bridged" and the 32 placement attributes to a view tag's scheme.
    static void initScheme(CObjectScheme* scheme);

    CViewBasePlacement() = default;
    ~CViewBasePlacement() override;

    // --- life cycle ---
    // Root view ("is-root-view"): a new root area with its solver; other views: an area under the
    // parent view's, the unclip level, the decorative and dynamic flags and z. Needs the object
    // "ui.window-shared-data". Running it again replaces the area.
    [[nodiscard]] CError* init() override;

    // --- readers of the description's forms ---
    // Four-sided values written left, top, right, bottom ("4", "LR5 TB3", "0 *LT-0.9"). A bad token
    // is logged and ends the reading; the tokens before it stay. scale multiplies by the window
    // scale, round rounds half away from zero.
    void parseBorder(const CString& text, double& left, double& top, double& right, double& bottom, bool round,
                     bool scale) const;
    // "50%" gives 0.5: every character but the last read as a number, times 0.01; 0 when they are
    // no number.
    static double parsePercent(const CString& text);

    // --- redraw requests, opacity, visibility ---
    // Asks the window renderer to repaint the whole view (not while it prepares this view, nor for a
    // view that is not shown).
    void invalidate();
    // Asks for a repaint of a rectangle in view coordinates (window pixels relative to the total
    // rectangle); dropped while a whole repaint is pending and for rectangles thinner than 1e-5.
    void addUpdateRect(const CAreaRect& rect);
    void invalidateDescendants();
    // Own factors without clamping (the attributes clamp to 0..1); a change repaints the view.
    void setOpacity(double value);
    void setDrawOpacity(double value);
    void updateCumulativeOpacity();
    void updateCumulativeDrawOpacity();
    // Disables or enables the view: runs its "mouse-exit", repaints it with its subtree and reports
    // the change through onDisabledChanged.
    [[nodiscard]] virtual CError* setDisabled(bool disabled);
    // Runs the window's pending layout pass.
    [[nodiscard]] CError* updateLayout();

    // --- attribute handlers (the scheme reaches the most derived one) ---
    [[nodiscard]] virtual CError* attrAlignmentH(CAttrValue& value);
    [[nodiscard]] virtual CError* attrAlignmentV(CAttrValue& value);
    [[nodiscard]] virtual CError* attrCompactWidth(CAttrValue& value);
    [[nodiscard]] virtual CError* attrCompactHeight(CAttrValue& value);
    [[nodiscard]] virtual CError* attrDrawOpacity(CAttrValue& value);
    [[nodiscard]] virtual CError* attrInlineAlignmentH(CAttrValue& value);
    [[nodiscard]] virtual CError* attrInlineAlignmentV(CAttrValue& value);
    [[nodiscard]] virtual CError* attrInnerBorder(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsDisabled(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsHidden(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsInlineVertical(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsNewInlineRow(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsVisible(CAttrValue& value);
    [[nodiscard]] virtual CError* attrMaxWidth(CAttrValue& value);
    [[nodiscard]] virtual CError* attrMaxHeight(CAttrValue& value);
    [[nodiscard]] virtual CError* attrMinRatioX(CAttrValue& value);
    [[nodiscard]] virtual CError* attrMinRatioY(CAttrValue& value);
    [[nodiscard]] virtual CError* attrMinWidth(CAttrValue& value);
    [[nodiscard]] virtual CError* attrMinHeight(CAttrValue& value);
    [[nodiscard]] virtual CError* attrOffsetX(CAttrValue& value);
    [[nodiscard]] virtual CError* attrOffsetY(CAttrValue& value);
    [[nodiscard]] virtual CError* attrOpacity(CAttrValue& value);
    [[nodiscard]] virtual CError* attrOpaqueBorder(CAttrValue& value);
    [[nodiscard]] virtual CError* attrOuterBorder(CAttrValue& value);
    [[nodiscard]] virtual CError* attrPlacement(CAttrValue& value);
    [[nodiscard]] virtual CError* attrRatioX(CAttrValue& value);
    [[nodiscard]] virtual CError* attrRatioY(CAttrValue& value);
    [[nodiscard]] virtual CError* attrScrollerWidth(CAttrValue& value);
    [[nodiscard]] virtual CError* attrScrollerHeight(CAttrValue& value);
    [[nodiscard]] virtual CError* attrSpread(CAttrValue& value);
    [[nodiscard]] virtual CError* attrWidth(CAttrValue& value);
    [[nodiscard]] virtual CError* attrHeight(CAttrValue& value);

    // --- operations of the painting layer ---
    // Marks the window's tiles under rect for repaint and drops the cached draw lists holding view.
    virtual void invalidateSectors(const CAreaRect& rect, CViewBasePlacement* view) = 0;
    // Completes the pending layout pass and refreshes the hover path when this view is under the mouse.
    [[nodiscard]] virtual CError* updateHover() = 0;
    // After the disabled flag changed: the base tells the child views in order.
    [[nodiscard]] virtual CError* onDisabledChanged();

    // --- queries ---
    CViewArea* area() const noexcept { return mArea; }
    CViewBasePlacement* parentPlacement() const noexcept { return mParentPlacement; }
    CViewBasePlacement* rootPlacement() const noexcept { return mRootPlacement; }
    std::int32_t z() const noexcept { return mZ; }
    bool isDecorative() const noexcept { return mIsDecorative; }
    bool isDisabled() const noexcept { return mIsDisabled; }
    bool isDynamic() const noexcept { return mIsDynamic; }
    bool isScrollable() const noexcept { return mIsScrollable; }
    bool isFullRedrawPending() const noexcept { return mIsFullRedrawPending; }
    double opacity() const noexcept { return mOpacity; }
    double cumulativeOpacity() const noexcept { return mCumulativeOpacity; }
    double drawOpacity() const noexcept { return mDrawOpacity; }
    double cumulativeDrawOpacity() const noexcept { return mCumulativeDrawOpacity; }
    const CArray<CAreaRect>& updateRects() const noexcept { return mUpdateRects; }
    std::int32_t preparedPass() const noexcept { return mPreparedPass; }

    // --- the window renderer's bookkeeping ---
    // -1 while it prepares this view, then the number of its paint pass.
    void setPreparedPass(std::int32_t pass) noexcept { mPreparedPass = pass; }
    // After it took the redraw list: the requests of this view are served.
    void clearRedrawRequests() noexcept;

private:
    // Shared by "width" and "height".
    CError* setSize(CAttrValue& value, bool isWidth);
    // Sets "placement" to "top" (width) or "left" (height) when it is "inline".
    CError* inlineFallback(bool isWidth);
    // Shared by the four alignment attributes; code -2 for a word not in words.
    static int alignmentCode(const CString& text, const char* first, const char* last);
    // The four alignment attributes: the word's code through setter, or the error message.
    CError* setAlignment(CAttrValue& value, bool isHorizontal, void (CViewArea::*setter)(int), CErrorSite message);
    // A cumulative factor: own times the parents' own factors; views below follow when it changed.
    void updateProduct(double CViewBasePlacement::*own, double CViewBasePlacement::*cumulative);
    // min-width and min-height.
    void setMinSize(CAttrValue& value, bool isWidth);
    void setMaxSize(CAttrValue& value, bool isWidth);
    double windowScale() const noexcept;
    void computeZ();
    void writeLine(const char* text) const;

    std::int32_t mPreparedPass = 0;
    CArray<CAreaRect> mUpdateRects;
    double mDrawOpacity = 1.0;
    double mCumulativeDrawOpacity = 1.0;
    bool mIsDecorative = false;
    bool mIsDisabled = false;
    bool mIsDynamic = false;
    bool mIsFullRedrawPending = false;
    bool mIsScrollable = false;
    double mOpacity = 1.0;
    double mCumulativeOpacity = 1.0;
    CViewBasePlacement* mParentPlacement = nullptr;   // not owned
    CViewBasePlacement* mRootPlacement = nullptr;     // not owned
    CViewArea* mArea = nullptr;                       // owned
    std::int32_t mZ = 0;
};

} // namespace tal
