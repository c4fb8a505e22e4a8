#include "UI/CSectorMap.h"

#include "Core/Log.h"
#include "UI/CSector.h"
#include "UI/CView.h"
#include "UI/CViewBasePlacement.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

constexpr int kBaseLongSide = 240;
constexpr int kBaseShortSide = 144;

std::int32_t roundHalfAway(double v) noexcept { return std::int32_t(std::round(v)); }

int roundUpTo(int value, int step) noexcept { return (value + step - 1) / step * step; }

int clampIndex(int i, int count) noexcept { return i < 1 ? 0 : i >= count ? count - 1 : i; }

void removeFromList(CArray<CViewBasePlacement*>& list, CViewBasePlacement* view) { list.remove(view); }

} // namespace

CSectorMap::~CSectorMap() = default;

// --- what views call ---

void CSectorMap::invalidateSectors(const CAreaRect& rect, CView* view) {
    invalidateSectors(rect, static_cast<CViewBasePlacement*>(view));
}

void CSectorMap::moveView(CView* view, const CAreaRect& oldRect, const CAreaRect& newRect) {
    moveView(static_cast<CViewBasePlacement*>(view), oldRect, newRect);
}

void CSectorMap::removeView(CView* view, const CAreaRect& rect) {
    removeView(static_cast<CViewBasePlacement*>(view), rect);
}

// --- rectangles ---

void CSectorMap::addRect(CAreaRect& d, const CAreaRect& r) noexcept {
    if (r.isEmpty())
        return;
    if (d.isEmpty()) {
        d = r;
        return;
    }
    const double x0 = std::min(d.x, r.x), y0 = std::min(d.y, r.y);
    const double x1 = std::max(d.x + d.width, r.x + r.width), y1 = std::max(d.y + d.height, r.y + r.height);
    d = {x0, y0, x1 - x0, y1 - y0};
}

void CSectorMap::getSectorRange(const CAreaRect& rect, int& firstColumn, int& lastColumn, int& firstRow,
                                int& lastRow) const {
    firstColumn = 0, lastColumn = -1, firstRow = 0, lastRow = -1;
    if (rect.isEmpty() || mColumns == 0 || mRows == 0)
        return;
    firstColumn = clampIndex(int(std::floor(rect.x)) / mSectorWidth, mColumns);
    lastColumn = clampIndex((int(std::ceil(rect.x + rect.width)) - 1) / mSectorWidth, mColumns);
    firstRow = clampIndex(int(std::floor(rect.y)) / mSectorHeight, mRows);
    lastRow = clampIndex((int(std::ceil(rect.y + rect.height)) - 1) / mSectorHeight, mRows);
}

CSector* CSectorMap::sector(int column, int row) const noexcept {
    if (column < 0 || row < 0 || column >= mColumns || row >= mRows)
        return nullptr;
    return mSectors[std::size_t(column + row * mColumns)].get();
}

// --- notifications ---

void CSectorMap::invalidateSectors(const CAreaRect& rect, CViewBasePlacement* view) {
    int c0, c1, r0, r1;
    getSectorRange(rect, c0, c1, r0, r1);
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r) {
            CSector& s = *sector(c, r);
            if (view != nullptr && s.isCached(view))
                s.cachedViews.clear();
            markDirty(s);
        }
}

void CSectorMap::invalidateViewRect(const CAreaRect& rect, CViewBasePlacement* view) {
    if (rect.isEmpty())
        return;
    addRect(mDirtyRect, rect);
    int c0, c1, r0, r1;
    getSectorRange(rect, c0, c1, r0, r1);
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r) {
            CSector& s = *sector(c, r);
            if (!view->isDynamic() && s.isCached(view))
                s.cachedViews.clear();
            addRect(s.dirtyRect, rect);
            markDirty(s);
        }
}

void CSectorMap::removeView(CViewBasePlacement* view, const CAreaRect& rect) {
    addRect(mDirtyRect, rect);
    int c0, c1, r0, r1;
    getSectorRange(rect, c0, c1, r0, r1);
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r) {
            CSector& s = *sector(c, r);
            auto entry = s.viewMap.find(view->z());
            if (entry == s.viewMap.end())
                continue;
            if (!view->isDynamic() && s.isCached(view))
                s.cachedViews.clear();   // the whole sector is drawn again
            else
                addRect(s.dirtyRect, rect);
            markDirty(s);
            removeFromList(entry->second, view);
        }
}

void CSectorMap::moveView(CViewBasePlacement* view, const CAreaRect& oldRect, const CAreaRect& newRect) {
    addRect(mDirtyRect, oldRect);
    addRect(mDirtyRect, newRect);
    int oc0, oc1, or0, or1, nc0, nc1, nr0, nr1;
    getSectorRange(oldRect, oc0, oc1, or0, or1);
    getSectorRange(newRect, nc0, nc1, nr0, nr1);
    const bool newEmpty = nc1 < nc0 || nr1 < nr0;
    const bool oldEmpty = oc1 < oc0 || or1 < or0;
    if (!newEmpty && (oldEmpty || nc0 < oc0 || nc1 > oc1 || nr0 < or0 || nr1 > or1)) {
        for (int r = nr0; r <= nr1; ++r)
            for (int c = nc0; c <= nc1; ++c) {
                CSector& s = *sector(c, r);
                if (inRange(s, oc0, oc1, or0, or1))
                    continue;
                addRect(s.dirtyRect, newRect);
                CArray<CViewBasePlacement*>& list = s.viewMap[view->z()];
                if (list.indexOf(view) < 0) {
                    list.add(view);
                    // A view that now lies in the cached prefix would be painted over the cached
                    // views above it: the cache is rebuilt instead.
                    if (!view->isDynamic())
                        s.cachedViews.clear();
                }
                markDirty(s);
            }
    }
    for (int r = or0; r <= or1; ++r)
        for (int c = oc0; c <= oc1; ++c) {
            CSector& s = *sector(c, r);
            addRect(s.dirtyRect, oldRect);
            markDirty(s);
            if (!newEmpty && inRange(s, nc0, nc1, nr0, nr1))
                continue;
            if (!view->isDynamic() && s.isCached(view))
                s.cachedViews.clear();
            auto entry = s.viewMap.find(view->z());
            if (entry != s.viewMap.end())
                removeFromList(entry->second, view);
        }
}

bool CSectorMap::isViewCached(const CSector& sector, const CViewBasePlacement* view) {
    return !view->isDynamic() && sector.isCached(view);
}

// --- rebuilding ---

void CSectorMap::registerViews(CSector& sector, CViewBasePlacement* view) {
    if (view->area() != nullptr && view->area()->isShown()) {
        int c0, c1, r0, r1;
        // By the clip rectangle, as the views' own move and removal notices give it, so that a
        // removal always finds every registration.
        getSectorRange(view->area()->clipRect(), c0, c1, r0, r1);
        if (inRange(sector, c0, c1, r0, r1))
            sector.viewMap[view->z()].add(view);
    }
    for (int i = 0; i < view->childCount(); ++i)
        if (auto* child = dynamic_cast<CViewBasePlacement*>(view->child(i)))
            registerViews(sector, child);
}

void CSectorMap::setUpSector(CSector& s, int column, int row, int activeWidth, int activeHeight) {
    s.column = column;
    s.row = row;
    s.localRect = {0, 0, activeWidth, activeHeight};
    s.windowRect = {column * mSectorWidth, row * mSectorHeight, mSectorWidth, mSectorHeight};
}

void CSectorMap::resizeEdgeSectors(int wp, int hp) {
    const int lastWidth = wp - (mColumns - 1) * mSectorWidth;
    const int lastHeight = hp - (mRows - 1) * mSectorHeight;
    auto touch = [this](CSector& s) {
        s.cachedViews.clear();
        if (s.localRect.width > 0 && s.localRect.height > 0)
            addRect(mDirtyRect, {double(s.windowRect.x), double(s.windowRect.y), double(s.localRect.width),
                                 double(s.localRect.height)});
        markDirty(s);
    };
    if (sector(mColumns - 1, 0)->localRect.width != lastWidth)
        for (int r = 0; r < mRows; ++r) {
            CSector& s = *sector(mColumns - 1, r);
            s.localRect.width = lastWidth;
            touch(s);
        }
    if (sector(0, mRows - 1)->localRect.height != lastHeight)
        for (int c = 0; c < mColumns; ++c) {
            CSector& s = *sector(c, mRows - 1);
            s.localRect.height = lastHeight;
            touch(s);
        }
}

void CSectorMap::rebuild(CViewBasePlacement* root, double width, double height, double scale) {
    mScale = scale;
    const int n = roundHalfAway(100.0 * scale);
    mAlignment = n <= 0 ? 1 : n % 100 == 0 ? n / 100 : n % 10 == 0 ? n / 10 : n;
    int sw = kBaseLongSide, sh = kBaseShortSide;
    if (height > width)
        std::swap(sw, sh);
    sw = roundUpTo(sw, mAlignment);
    sh = roundUpTo(sh, mAlignment);
    const int wp = std::max(roundHalfAway(width), 0), hp = std::max(roundHalfAway(height), 0);
    const int columns = (wp + sw - 1) / sw, rows = (hp + sh - 1) / sh;
    mWindowArea = {0, 0, roundUpTo(wp, mAlignment), roundUpTo(hp, mAlignment)};

    if (sw == mSectorWidth && sh == mSectorHeight && columns == mColumns && rows == mRows) {
        if (mColumns > 0 && mRows > 0)
            resizeEdgeSectors(wp, hp);
        return;
    }
    std::vector<std::unique_ptr<CSector>> old;
    const int oldColumns = mColumns;
    old.swap(mSectors);
    if (sw != mSectorWidth || sh != mSectorHeight)
        old.clear();   // no record of another size is reused
    mSectorWidth = sw;
    mSectorHeight = sh;
    mColumns = columns;
    mRows = rows;
    mDirtyRect = {0.0, 0.0, width, height};
    mDirtySet.clear();
    mSectors.resize(std::size_t(columns) * std::size_t(rows));
    const int oldRows = oldColumns > 0 ? int(old.size()) / oldColumns : 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            std::unique_ptr<CSector> s;
            if (c < oldColumns && r < oldRows)
                s = std::move(old[std::size_t(c + r * oldColumns)]);
            if (s == nullptr) {
                s = std::make_unique<CSector>();
                s->backBuffer = std::make_unique<CLinearBitmap>();
                reportError(s->backBuffer->setSize(sw, sh, true));
            }
            setUpSector(*s, c, r, c == columns - 1 ? wp - c * sw : sw, r == rows - 1 ? hp - r * sh : sh);
            s->cachedViews.clear();
            s->viewMap.clear();
            s->dirtyRect = {};
            if (root != nullptr)
                registerViews(*s, root);
            markDirty(*s);
            mSectors[std::size_t(c + r * columns)] = std::move(s);
        }
    // Records outside the new grid go with `old`.
}

// --- queries ---

CViewBasePlacement* CSectorMap::hitTest(bool hintMode, bool honourClickThrough, double x, double y) const {
    const int rx = roundHalfAway(x), ry = roundHalfAway(y);
    if (rx < 0 || ry < 0)
        return nullptr;
    const CSector* s = sector(rx / mSectorWidth, ry / mSectorHeight);
    if (s == nullptr)
        return nullptr;
    for (auto key = s->viewMap.rbegin(); key != s->viewMap.rend(); ++key) {
        const CArray<CViewBasePlacement*>& list = key->second;
        for (int i = list.count() - 1; i >= 0; --i) {
            CViewBasePlacement* v = list[i];
            if (v->area() == nullptr || !v->area()->isShown() || v->cumulativeOpacity() == 0.0)
                continue;
            if (v->isDecorative() && !(hintMode && !v->getTextAttr("hint").isEmpty()))
                continue;
            if (honourClickThrough && v->getBoolAttr("is-click-through"))
                continue;
            const CAreaRect& t = v->area()->totalRect();
            if (!(t.x <= x && x < t.x + t.width && t.y <= y && y < t.y + t.height))
                continue;
            if (!hintMode)
                return v;
            for (CViewBasePlacement* h = v; h != nullptr; h = h->parentPlacement())
                if (!h->getTextAttr("hint").isEmpty())
                    return h;
        }
    }
    return nullptr;
}

CPixelRect CSectorMap::getAlignedDirtyRect() const {
    const double s = mScale;
    const CAreaRect& d = mDirtyRect;
    const std::int32_t x0 = roundHalfAway(std::floor(d.x / s) * s), y0 = roundHalfAway(std::floor(d.y / s) * s);
    const std::int32_t x1 = roundHalfAway(std::ceil((d.x + d.width) / s) * s);
    const std::int32_t y1 = roundHalfAway(std::ceil((d.y + d.height) / s) * s);
    const std::int32_t cx0 = std::max(x0, mWindowArea.x), cy0 = std::max(y0, mWindowArea.y);
    const std::int32_t cx1 = std::min(x1, mWindowArea.x + mWindowArea.width);
    const std::int32_t cy1 = std::min(y1, mWindowArea.y + mWindowArea.height);
    if (cx1 - cx0 > 0 && cy1 - cy0 > 0)
        return {cx0, cy0, cx1 - cx0, cy1 - cy0};
    return {x0, y0, 0, 0};
}

} // namespace tal
