#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"
#include "Other/CLinearBitmap.h"
#include "UI/CAreaRect.h"

#include <cstdint>
#include <map>
#include <memory>

namespace tal {

class CViewBasePlacement;

// One tile of a window as painting sees it: where it lies in the window, the bitmap that holds its
// pixels, the part of the bitmap a paint call may touch, and the scratch state of one paint (the
// bitmap being drawn into, the look being painted, three side bitmaps for opacity and cross-fades).
// Beside that it keeps what the sector map and the renderer know of the tile: the views registered
// in it by z, the cache of the views that rarely change, its dirty rectangle and the draw list of
// the current paint.
// Owned by the window's sector map. A sector is painted by one thread at a time; every per-call
// value a view's paint needs travels here, so that the sectors of one view can be painted on several
// threads at once.
class CSector {
public:
    // Which side bitmap: the opacity layer, and the two looks of a cross-fade.
    enum : int { kOpacitySide = 0, kLookA = 1, kLookB = 2 };

    CSector() = default;
    CSector(const CSector&) = delete;
    CSector& operator=(const CSector&) = delete;

    // x, y: the tile's origin in window pixels; width, height: the full tile size.
    CPixelRect windowRect;
    // The rectangle, in bitmap coordinates, that the current paint call may draw into.
    CPixelRect clipRect;
    // The tile's pixels (owned).
    std::unique_ptr<CLinearBitmap> backBuffer;
    // The bitmap paint calls draw into: the back buffer, or a side bitmap while a view composes
    // (not owned).
    CLinearBitmap* target = nullptr;
    // The image-set range name of the look being painted.
    CString lookText;
    // The colour state a view's paint call reads its colours in (an index into the view's colour
    // table), set by the view before it calls its own paint.
    std::int32_t colorState = 0;
    // Tile-sized scratch bitmaps, indexed by kOpacitySide, kLookA and kLookB.
    CLinearBitmap sideBitmaps[3];

    // --- the sector map's and the renderer's records ---
    std::int32_t column = 0, row = 0;
    // 0, 0 and the active size: the part of the tile inside the window.
    CPixelRect localRect;
    // The views whose total rectangle covers the tile, by z; equal keys in registration order.
    std::map<std::int32_t, CArray<CViewBasePlacement*>> viewMap;   // not owned
    // The tile after drawing the cached views, and those views (empty: the cache is not valid).
    CLinearBitmap cacheBitmap;
    CArray<CViewBasePlacement*> cachedViews;   // not owned
    // The dirty rectangle in window pixels (empty: width or height below 1e-5).
    CAreaRect dirtyRect;
    // The current paint: the views to draw bottom-up, each one's draw rectangle and opaque
    // rectangle (tile-local; empty: not an occluder), plus a spare entry each.
    CArray<CViewBasePlacement*> drawList;   // not owned
    CArray<CPixelRect> drawRects;
    CArray<CPixelRect> opaqueRects;
    // Working lists of the occlusion step.
    CArray<CPixelRect> scratchA, scratchB;

    bool isCached(const CViewBasePlacement* view) const noexcept { return cachedViews.indexOf(
        const_cast<CViewBasePlacement*>(view)) >= 0; }
};

} // namespace tal
