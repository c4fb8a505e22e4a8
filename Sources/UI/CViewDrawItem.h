#pragma once
#include "Core/CPoolAllocated.h"
#include "Other/CLinearBitmap.h"

namespace tal {

class CSector;

// One integer pixel rectangle of a view, in window pixels. Item 0 of a view is its clip rectangle,
// item 1 its total rectangle (with the part known to be opaque), items 2 and up belong to controls.
// Every item but item 0 is clipped by item 0. Owned by the view's draw item list; written on the UI
// thread when the layout reports new rectangles, read by paint calls on any thread.
struct CViewDrawItem : CPoolAllocated {
    // --- queries against a sector ---
    // The clipped rectangle in the sector's bitmap coordinates, intersected with the sector's clip
    // rectangle; false (out untouched) when nothing of positive width and height is left.
    bool intersectContext(const CSector& sector, CPixelRect& out) const noexcept;
    // Whether the opaque rectangle is valid; when it is, out is that rectangle in the sector's bitmap
    // coordinates (not clipped).
    bool getRectInSector(const CSector& sector, CPixelRect& out) const noexcept;

    // full ∩ the parent's clipped rectangle (full when there is no parent); an empty result keeps the
    // full rectangle's x and y with width and height 0.
    void clipToParent() noexcept;

    bool isOpaqueValid = false;       // item 1 only
    CViewDrawItem* parent = nullptr;  // not owned: item 0 of the same view, null for item 0
    CPixelRect opaqueRect;            // item 1 only
    CPixelRect clippedRect;
    CPixelRect fullRect;
};

// The intersection of two rectangles; false with out = (a.x, a.y, 0, 0) when it is empty.
bool intersectPixelRects(const CPixelRect& a, const CPixelRect& b, CPixelRect& out) noexcept;

} // namespace tal
