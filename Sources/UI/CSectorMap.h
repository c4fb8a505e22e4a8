#pragma once
#include "UI/CAreaRect.h"

namespace tal {

class CView;

// The tile grid of one window: which views cover which sectors, and which sectors need painting.
// Owned by the window's root view, made empty by its init and destroyed by its destructor after every
// descendant was removed from it. Views tell it when they move, vanish or need repainting; the
// window renderer paints the dirty sectors. UI thread only.
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
};

} // namespace tal
