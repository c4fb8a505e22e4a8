#pragma once
#include "Core/CArray.h"
#include "Core/CCheckedObject.h"
#include "UI/CAreaRect.h"
#include "UI/CInlineRow.h"
#include "UI/CLayoutProgram.h"
#include "UI/CLayoutSolver.h"
#include "UI/CScaleRecord.h"

#include <cstdint>

namespace tal {

class CError;
class CString;
class CViewAreaUpdateHandler;

// The layout node of one view: its variables in the window's solver (total rectangle, borders, size
// limits, the placement rectangle its parent gives it and, when it scrolls, the scroll state), its
// child areas and the rectangles last reported to its owner. The root area of a window owns the
// solver and the scale record; all areas of the window share them.
// Owned by its view (the owner); created when the view initialises, destroyed children first, the
// root last. Setters only store values and queue work; updateLayout runs the pending layout pass.
// UI thread only, no lock.
class CViewArea : public CCheckedObject {
public:
    // Variable indices; the last six exist only in scrollable areas.
    enum EVar : int {
        vX, vY, vWidth, vHeight,
        vInnerBottom, vInnerLeft, vInnerRight, vInnerTop,
        vOuterBottom, vOuterLeft, vOuterRight, vOuterTop,
        vPlacedCount, vCompactWidth, vCompactHeight,
        vMinWidth, vMinHeight, vMaxWidth, vMaxHeight,
        vPlaceX, vPlaceY, vPlaceWidth, vPlaceHeight, vRefWidth, vRefHeight,
        vOffsetX, vOffsetY, vRatioX, vRatioY, vScrollerWidth, vScrollerHeight,
        kPlainVarCount = 25, kVarCount = 31
    };
    enum EPlacement : int {
        kPlaceNone, kPlaceInline, kPlaceFull, kPlaceTop, kPlaceBottom, kPlaceLeft, kPlaceRight,
        kPlaceOverlay, kPlaceWindowOverlay, kPlaceMatch, kPlaceScrollerH, kPlaceScrollerV, kPlaceScrollerP
    };
    enum ESizeKind : int { kSizeNone, kSizeBalanced, kSizeCompact, kSizeCompactPercent, kSizeFull, kSizeFixed, kSizePercent };

    // --- life cycle ---
    // An area under parent (appended to its children, the parent queued for rebuild), or the root area
    // of a new window when parent is null (it creates the solver and the scale record). The owner is
    // not owned and must outlive the area.
    CViewArea(CViewAreaUpdateHandler* owner, CViewArea* parent, bool isScrollable);
    // Leaves every pending list and batch, the parent's children and every area matching it; frees its
    // nodes. The root also destroys the solver, so it must go last.
    ~CViewArea() override;
    CViewArea(const CViewArea&) = delete;
    CViewArea& operator=(const CViewArea&) = delete;

    // --- queries ---
    double value(int var) const noexcept { return *mVarValues[var]; }
    std::int32_t varNode(int var) const noexcept { return mVarNodes[var]; }
    double windowScale() const noexcept { return *mScaleValues[0]; }
    double pixelRatio() const noexcept { return *mScaleValues[1]; }
    std::int32_t scaleNode(int i) const noexcept { return mScaleNodes[i]; }
    CLayoutSolver* solver() const noexcept { return mSolver; }
    CScaleRecord* scaleRecord() const noexcept { return mScaleRecord; }
    CViewArea* parent() const noexcept { return mParent; }
    CViewArea* root() const noexcept { return mRoot; }
    CViewAreaUpdateHandler* owner() const noexcept { return mOwner; }
    const CArray<CViewArea*>& children() const noexcept { return mChildren; }
    const CArray<CInlineRow>& inlineRows() const noexcept { return mInlineRows; }
    const CAreaRect& clipRect() const noexcept { return mClipRect; }
    const CAreaRect& totalRect() const noexcept { return mTotalRect; }
    int placement() const noexcept { return mPlacement; }
    int widthKind() const noexcept { return mWidthKind; }
    int heightKind() const noexcept { return mHeightKind; }
    int minWidthKind() const noexcept { return mMinWidthKind; }
    int minHeightKind() const noexcept { return mMinHeightKind; }
    int maxWidthKind() const noexcept { return mMaxWidthKind; }
    int maxHeightKind() const noexcept { return mMaxHeightKind; }
    int unclipLevel() const noexcept { return mUnclipLevel; }
    CViewArea* matchTarget() const noexcept { return mMatchTarget; }
    bool isScrollable() const noexcept { return mIsScrollable; }
    bool isShown() const noexcept { return mIsShown; }
    bool isVisible() const noexcept { return mIsVisible; }
    bool isAutoCompactWidth() const noexcept { return mIsAutoCompactWidth; }
    bool isAutoCompactHeight() const noexcept { return mIsAutoCompactHeight; }
    bool isInScrollerStrip() const noexcept { return mIsInScrollerStrip; }
    bool isOpaque() const noexcept { return mIsOpaque; }
    double minRatioX() const noexcept { return mMinRatioX; }
    double minRatioY() const noexcept { return mMinRatioY; }
    // The batch (detached pending list) of the running layout pass that still holds this area, or null.
    const CLayoutAreaList* rebuildBatch() const noexcept { return mRebuildBatch; }
    const CLayoutAreaList* changedBatch() const noexcept { return mChangedBatch; }
    const CLayoutAreaList* contentBatch() const noexcept { return mContentBatch; }
    // The rectangle shrunk by the opaque border times the window scale.
    void getOpaqueRect(CAreaRect& rect) const noexcept;
    double getSpreadBottom() const noexcept { return mSpread[0] * windowScale(); }
    double getSpreadLeft() const noexcept { return mSpread[1] * windowScale(); }
    double getSpreadRight() const noexcept { return mSpread[2] * windowScale(); }
    double getSpreadTop() const noexcept { return mSpread[3] * windowScale(); }
    // Writes the five debug lines (compact size, clip area, inner and outer border, placement).
    void dumpDebugInfo(const CString& prefix) const;

    // --- plain setters (codes: -1 left/top, 0 centre, 1 right/bottom) ---
    void setAlignmentH(int code);
    void setAlignmentV(int code);
    void setInlineAlignmentH(int code);
    void setInlineAlignmentV(int code);
    void setInlineVertical(bool flag);
    void setNewInlineRow(bool flag);
    // Borders in logical units: left, top, right, bottom.
    void setOpaqueBorder(bool isOpaque, double left, double top, double right, double bottom);
    void setSpreadBottom(double pixels);
    void setSpreadLeft(double pixels);
    void setSpreadRight(double pixels);
    void setSpreadTop(double pixels);
    // 0: clipped by every ancestor; n > 0: not by the n nearest; -1: only by scrolling ancestors;
    // -2: only by the window. The next recomputation is reported even when nothing moved.
    void setUnclipLevel(int level);
    // Queues the area for the next layout pass and reports its rectangles then even when they did
    // not change.
    void requestReport();
    // A scroller code under a parent that does not scroll logs and becomes "inline"; ignored on a root.
    void setPlacement(int code);
    // The area whose rectangle a "match" child copies (not owned; cleared when that area goes).
    void setMatchTarget(CViewArea* target);
    void setVisible(bool flag);
    // Root only: the two scale constants; every program that uses them follows.
    void setWindowScale(double windowScale, double pixelRatio);

    // --- size programs (pixels: window pixels at the current scale; logical: times the scale) ---
    void setVariable(int var, bool isRounded, bool isPixels, double x);
    void setWidthBalanced();
    void setWidthCompact();
    void setWidthCompactPercent(double fraction);
    void setWidthFull();
    void setFixedWidth(double pixels);
    void setWidthPercent(double fraction);
    void setHeightBalanced();
    void setHeightCompact();
    void setHeightCompactPercent(double fraction);
    void setHeightFull();
    void setFixedHeight(double pixels);
    void setHeightPercent(double fraction);
    void setMinWidthBalanced();
    void setMinHeightBalanced();
    void setMinWidthCompact();
    void setMinHeightCompact();
    void setMinWidth(double pixels);
    void setMinHeight(double pixels);
    void setMinWidthPercent(double fraction);
    void setMinHeightPercent(double fraction);
    void setMaxWidth(double pixels);
    void setMaxHeight(double pixels);
    void setMaxWidthPercent(double fraction);
    void setMaxHeightPercent(double fraction);
    void setCompactWidth(double pixels);
    void setCompactHeight(double pixels);
    void setInnerBorderBottom(double logical);
    void setInnerBorderLeft(double logical);
    void setInnerBorderRight(double logical);
    void setInnerBorderTop(double logical);
    void setOuterBorderBottom(double pixels);
    void setOuterBorderLeft(double pixels);
    void setOuterBorderRight(double pixels);
    void setOuterBorderTop(double pixels);
    void setScrollerWidth(double pixels);
    void setScrollerHeight(double pixels);
    void setOffsetX(double x);
    void setOffsetY(double y);
    void setRatioX(double x);
    void setRatioY(double y);
    void setMinRatioX(double x);
    void setMinRatioY(double y);

    // --- layout pass ---
    // Runs the window's pending layout work, whichever area of the window it is called on. An error
    // of a report or a content update ends the pass and comes back with this area's trace lines; the
    // areas still waiting then stay queued for the next pass.
    [[nodiscard]] CError* updateLayout();
    [[nodiscard]] CError* processPending();
    void rebuild();
    void resetRemaining(bool withInnerBorder);
    void resetChildPlacements();
    // Recomputes the rectangles and reports them to the owner when they changed (or when forced).
    [[nodiscard]] CError* updateRects();
    void leaveChangedBatch() noexcept;
    void freeInlineRows();
    void updateShown();

    // --- inline rows, compact sizes and placement passes (run by rebuild) ---
    void buildInlineRows();
    void addInlineRow(int first, int last);
    void alignInlineRows();
    void updateCompactWidth();
    void updateCompactHeight();
    void edgePass();
    void inlinePass();
    void overlayPass();
    const CLayoutProgram& remaining(int i) const noexcept { return mRemaining[i]; }

    // The most cycles one layout pass runs before it gives up on a layout that keeps changing.
    static constexpr int kMaxPassCycles = 64;

private:
    friend struct CViewAreaPass;
    friend class CLayoutSolver;
    void requestParentRebuild();
    void requestOwnRebuild();
    void setWidthKindProgram(bool isWidth, int kind, double fraction);
    void setMinMaxProgram(int var, int kind, double fraction);
    void emitShare(CLayoutProgram& p, int refVar) const;
    void emitLimitAndRound(CLayoutProgram& p, bool isWidth, int kind, double fraction) const;
    CError* clipToScrollAncestors(CAreaRect& k, bool& repeat);
    CError* clipFromLevel(CAreaRect& k, int level, bool& repeat);
    CError* updateAncestorFirst(CViewArea* p, bool& repeat);
    void intersectWithBox(const CViewArea* x, const CViewArea* p, CAreaRect& k) const;
    bool emitRowSum(CLayoutProgram& p, bool fixedOnly);
    bool emitRowMaximum(CLayoutProgram& p, bool fixedOnly);
    void updateCompactSize(bool isWidth);

    CArray<CViewArea*> mChildren;
    CLayoutProgram mRemaining[4];                // x, y, width, height of the free region
    CLayoutSolver* mSolver = nullptr;            // owned by the root area
    CAreaRect mClipRect;
    CArray<CInlineRow> mInlineRows;
    CViewArea* mMatchTarget = nullptr;           // not owned; cleared by the target's destructor
    CArray<CViewArea*> mMatchedBy;               // areas whose match target this is (not owned)
    int mMaxWidthKind = kSizeNone;
    int mMaxHeightKind = kSizeNone;
    double mMinRatioX = 1e-4;
    double mMinRatioY = 1e-4;
    int mMinWidthKind = kSizeNone;
    int mMinHeightKind = kSizeNone;
    CViewAreaUpdateHandler* mOwner = nullptr;    // not owned
    double mOpaqueBorder[4] = {0, 0, 0, 0};      // bottom, left, right, top (logical)
    CViewArea* mParent = nullptr;                // not owned
    int mPlacement = kPlaceNone;
    CViewArea* mRoot = nullptr;                  // not owned
    int mWidthKind = kSizeNone;
    int mHeightKind = kSizeNone;
    double mSpread[4] = {0, 0, 0, 0};            // bottom, left, right, top (logical)
    CAreaRect mTotalRect;
    int mUnclipLevel = 0;
    std::int32_t mVarNodes[kVarCount];
    double* mVarValues[kVarCount];
    std::int32_t mScaleNodes[2] = {-1, -1};
    double* mScaleValues[2] = {nullptr, nullptr};
    int mAlignmentH = 0;
    int mAlignmentV = 0;
    int mInlineAlignmentH = 0;
    int mInlineAlignmentV = 0;
    bool mIsScrollable = false;
    bool mIsAutoCompactWidth = true;
    bool mIsAutoCompactHeight = true;
    bool mIsInlineVertical = false;
    bool mIsNewInlineRow = false;
    bool mIsOpaque = false;
    bool mIsInScrollerStrip = false;
    bool mIsForceReport = false;
    bool mIsVisible = true;
    bool mIsShown = true;
    CLayoutAreaList* mRebuildBatch = nullptr;    // not owned; the running pass's detached list
    CLayoutAreaList* mContentBatch = nullptr;    // not owned
    CLayoutAreaList* mChangedBatch = nullptr;    // not owned
    int mChangedIndex = -1;                      // this area's slot in mChangedBatch
    CScaleRecord* mScaleRecord = nullptr;        // owned by the root area
    std::uint8_t mQueuedIn = 0;                  // the solver's pending lists holding this area
};

} // namespace tal
