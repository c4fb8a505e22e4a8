#pragma once
#include "Other/CLinearBitmap.h"
#include "Platform/CSpinLock.h"
#include "UI/CAreaRect.h"
#include "UI/CSector.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

namespace tal {

class CSector;
class CView;
class CViewBasePlacement;

// The tile grid of one window: which views cover which sectors, and which sectors need painting.
// Owned by the window's root view, made empty by its init and destroyed by its destructor after every
// descendant was removed from it. Views tell it when they move, vanish or need repainting; the
// window renderer sizes it (rebuild) and paints the dirty sectors. Everything is in window pixels.
// UI thread only, except the render queue, which render workers pop under its lock during a paint.
// The operations views call are virtual so that tests can record them.
class CSectorMap {
public:
    // --- life cycle ---
    CSectorMap() = default;   // empty grid: every operation does nothing until the renderer sizes it
    CSectorMap(const CSectorMap&) = delete;
    CSectorMap& operator=(const CSectorMap&) = delete;
    virtual ~CSectorMap();

    // --- what views call (window pixels; rectangles thinner than 1e-5 change nothing) ---
    // Marks the sectors under rect for repaint and drops the cached draw lists that hold view (may be
    // null).
    virtual void invalidateSectors(const CAreaRect& rect, CView* view);
    // The view's clip rectangle changed from oldRect to newRect: registers it in the sectors newly
    // covered, unregisters it from the sectors no longer covered and marks both for repaint.
    virtual void moveView(CView* view, const CAreaRect& oldRect, const CAreaRect& newRect);
    // The view goes: removes it from every sector under rect (its last clip rectangle) and marks those
    // sectors for repaint.
    virtual void removeView(CView* view, const CAreaRect& rect);

    // --- the same on the placement layer of a view (what the operations above come down to) ---
    void invalidateSectors(const CAreaRect& rect, CViewBasePlacement* view);
    void moveView(CViewBasePlacement* view, const CAreaRect& oldRect, const CAreaRect& newRect);
    void removeView(CViewBasePlacement* view, const CAreaRect& rect);
    // A repaint request of the layout: grows the overall and sector dirty rectangles and drops the
    // cached lists holding the view unless it is dynamic.
    void invalidateViewRect(const CAreaRect& rect, CViewBasePlacement* view);

    // --- the renderer's ---
    // Recomputes the grid for a window of width x height pixels at a scale and registers the views
    // of the root's tree; a change that keeps the grid only touches the last column and row.
    void rebuild(CViewBasePlacement* root, double width, double height, double scale);
    // The sectors under a rectangle: first and last column and row (0, -1, 0, -1 when none); edges
    // outside the window clamp to the nearest sectors.
    void getSectorRange(const CAreaRect& rect, int& firstColumn, int& lastColumn, int& firstRow, int& lastRow) const;
    // Whether the view is not dynamic and in the sector's cached list.
    static bool isViewCached(const CSector& sector, const CViewBasePlacement* view);
    // The topmost view under the point that is shown, visible and not decorative (in hint mode:
    // the nearest view with a "hint", itself or an ancestor; decorative views count when they have
    // one); honourClickThrough skips views with "is-click-through". Null when none.
    CViewBasePlacement* hitTest(bool hintMode, bool honourClickThrough, double x, double y) const;
    // The overall dirty rectangle widened to whole points and clipped to the window.
    CPixelRect getAlignedDirtyRect() const;

    // --- state ---
    double scale() const noexcept { return mScale; }
    int alignment() const noexcept { return mAlignment; }
    int sectorWidth() const noexcept { return mSectorWidth; }
    int sectorHeight() const noexcept { return mSectorHeight; }
    int columns() const noexcept { return mColumns; }
    int rows() const noexcept { return mRows; }
    const CPixelRect& windowArea() const noexcept { return mWindowArea; }
    CSector* sector(int column, int row) const noexcept;
    CSector* sectorAt(int index) const noexcept { return mSectors[std::size_t(index)].get(); }
    int sectorCount() const noexcept { return int(mSectors.size()); }
    CAreaRect& dirtyRect() noexcept { return mDirtyRect; }
    // Keys column | row << 16 of the dirty sectors.
    std::set<std::int32_t>& dirtySet() noexcept { return mDirtySet; }
    // The sectors of the current paint, and the lock workers pop them under.
    std::vector<CSector*>& renderQueue() noexcept { return mRenderQueue; }
    CSpinLock& renderQueueLock() noexcept { return mRenderQueueLock; }
    std::int64_t drawnArea = 0;   // pixels of all view draws of the current paint
    std::int32_t viewDraws = 0;   // view draws of the current paint

    // Adds r to d (the dirty-rectangle rule: empty r changes nothing, empty d becomes r).
    static void addRect(CAreaRect& d, const CAreaRect& r) noexcept;

private:
    void markDirty(const CSector& sector) { mDirtySet.insert(sector.column | (sector.row << 16)); }
    void registerViews(CSector& sector, CViewBasePlacement* view);
    // Whether the sector lies within the range.
    static bool inRange(const CSector& sector, int c0, int c1, int r0, int r1) noexcept {
        return sector.column >= c0 && sector.column <= c1 && sector.row >= r0 && sector.row <= r1;
    }
    void resizeEdgeSectors(int activeWidth, int activeHeight);
    void setUpSector(CSector& sector, int column, int row, int activeWidth, int activeHeight);

    double mScale = 1.0;
    int mSectorWidth = 256, mSectorHeight = 128;
    int mColumns = 0, mRows = 0;
    int mAlignment = 1;
    CPixelRect mWindowArea;
    std::vector<std::unique_ptr<CSector>> mSectors;   // row-major: column + row x columns
    CSpinLock mRenderQueueLock;
    CAreaRect mDirtyRect;
    std::set<std::int32_t> mDirtySet;
    std::vector<CSector*> mRenderQueue;   // not owned
};

} // namespace tal
