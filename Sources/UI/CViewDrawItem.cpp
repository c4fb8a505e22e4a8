#include "UI/CViewDrawItem.h"

#include "UI/CSector.h"

#include <algorithm>
#include <cstdint>

namespace tal {

bool intersectPixelRects(const CPixelRect& a, const CPixelRect& b, CPixelRect& out) noexcept {
    const std::int64_t x0 = std::max<std::int64_t>(a.x, b.x);
    const std::int64_t y0 = std::max<std::int64_t>(a.y, b.y);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t(a.x) + a.width, std::int64_t(b.x) + b.width);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t(a.y) + a.height, std::int64_t(b.y) + b.height);
    if (x1 <= x0 || y1 <= y0) {
        out = CPixelRect{a.x, a.y, 0, 0};
        return false;
    }
    out = CPixelRect{std::int32_t(x0), std::int32_t(y0), std::int32_t(x1 - x0), std::int32_t(y1 - y0)};
    return true;
}

void CViewDrawItem::clipToParent() noexcept {
    if (parent == nullptr) {
        clippedRect = fullRect;
        return;
    }
    intersectPixelRects(fullRect, parent->clippedRect, clippedRect);
}

bool CViewDrawItem::intersectContext(const CSector& sector, CPixelRect& out) const noexcept {
    const CPixelRect local{std::int32_t(std::int64_t(clippedRect.x) - sector.windowRect.x),
                           std::int32_t(std::int64_t(clippedRect.y) - sector.windowRect.y), clippedRect.width,
                           clippedRect.height};
    CPixelRect result;
    if (!intersectPixelRects(local, sector.clipRect, result)) return false;
    out = result;
    return true;
}

bool CViewDrawItem::getRectInSector(const CSector& sector, CPixelRect& out) const noexcept {
    if (!isOpaqueValid) return false;
    out = CPixelRect{opaqueRect.x - sector.windowRect.x, opaqueRect.y - sector.windowRect.y, opaqueRect.width,
                     opaqueRect.height};
    return true;
}

} // namespace tal
