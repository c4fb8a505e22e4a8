#include "UI/CViewDrawHelpers.h"

#include "Other/CColor.h"
#include "Other/CImage.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "UI/CImageDrawList.h"
#include "UI/CLineDraw.h"
#include "UI/CSector.h"
#include "UI/CView.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawItem.h"
#include "UI/CViewStateData.h"
#include "UI/CWindowSharedData.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

// One coordinate on the 1/128-pixel grid, then to a whole pixel (halves away from zero).
std::int32_t snapCoordinate(double v) { return std::int32_t(std::round(std::round(v * 128.0) / 128.0)); }

// The area a paint of item index may touch in the sector's bitmap: the clip rectangle for item 1,
// else the item's visible part within it. False when empty.
bool itemArea(const CView& view, const CSector& sector, std::int32_t index, CPixelRect& area) {
    if (index == 1) {
        area = sector.clipRect;
        return area.width > 0 && area.height > 0;
    }
    if (index < 0 || index >= view.drawItemCount())
        return false;
    return view.drawItem(index)->intersectContext(sector, area);
}

double windowScaleOf(const CView& view) { return view.area() != nullptr ? view.area()->windowScale() : 1.0; }

const CImageLayer* frameLayer(CView& view, std::int32_t index, bool shift, const CImage** image = nullptr) {
    const std::int32_t frame = imageSetFrameIndex(view, index, shift);
    const CImage* found = frame >= 0 ? view.imageSet()->image(frame) : nullptr;
    if (image != nullptr)
        *image = found;
    return found != nullptr && found->layerCount() > 0 ? found->layer(0) : nullptr;
}

// First positions of the tiles that cover [edge, edge + extent) on the grid start + k x step.
std::int32_t firstTile(std::int32_t start, std::int32_t step, std::int32_t edge) {
    const std::int64_t k = (std::int64_t(edge) - start) >= 0 ? (std::int64_t(edge) - start) / step
                                                               : -((std::int64_t(start) - edge + step - 1) / step);
    return std::int32_t(start + k * step);
}

} // namespace

void setDrawItemRect(CView& view, std::int32_t index, double x, double y, double width, double height) {
    if (index < 2 || index >= view.drawItemCount())
        return;
    const double viewLeft = view.area() != nullptr ? view.area()->totalRect().x : 0.0;
    const double viewTop = view.area() != nullptr ? view.area()->totalRect().y : 0.0;
    const std::int32_t left = snapCoordinate(x), top = snapCoordinate(y);
    const std::int32_t right = snapCoordinate(x + width), bottom = snapCoordinate(y + height);
    CViewDrawItem& item = *view.drawItem(index);
    item.fullRect = CPixelRect{left + snapCoordinate(viewLeft), top + snapCoordinate(viewTop), right - left, bottom - top};
    item.clipToParent();
}

void clearDrawItemRect(CView& view, std::int32_t index) {
    if (index < 2 || index >= view.drawItemCount())
        return;
    CViewDrawItem& item = *view.drawItem(index);
    item.fullRect = CPixelRect{};
    item.clippedRect = CPixelRect{};
}

void fillDrawItem(const CView& view, CSector& sector, std::int32_t index, const CColor& color, int tone) {
    CPixelRect area;
    if (sector.target == nullptr || !itemArea(view, sector, index, area))
        return;
    const CColor* fill = &color;
    // The disabled colour was resolved in the prepare step; painting never refreshes the table.
    if (view.isEffectivelyDisabled() && view.colorTable() != nullptr && view.colorTable()->disabledColor() != nullptr)
        fill = view.colorTable()->disabledColor();
    sector.target->fillRect(area, *fill, tone, view.cumulativeDrawOpacity());
}

std::int32_t imageSetFrameIndex(CView& view, std::int32_t index, bool shift) {
    const CImageSet* set = view.imageSet();
    if (set == nullptr)
        return -1;
    std::int64_t frame = index;
    if (shift) {
        const CViewStateData* data = view.stateData();
        const CString range = data != nullptr && !data->shownLook.imageSetRange.isEmpty()
                                  ? data->shownLook.imageSetRange
                                  : view.getTextAttr("image-set-range");
        frame += set->getRangeIndex(range);
    }
    if (frame < 0 || frame >= set->imageCount() || set->image(std::int32_t(frame)) == nullptr)
        return -1;
    return std::int32_t(frame);
}

CImageDraw* requestImageDraw(CView& view, CImageLayer* layer, const CColor* tint, bool disabledText,
                             bool ignoreTintOpacity, double opacity) {
    CWindowSharedData* shared = view.windowSharedData();
    if (shared == nullptr || layer == nullptr)
        return nullptr;
    CImageDraw* record = shared->takeImageDraw();
    if (view.isEffectivelyDisabled() && view.colorTable() != nullptr) {
        const CColor* disabled = disabledText ? view.colorTable()->disabledTextColor() : view.colorTable()->disabledColor();
        if (disabled != nullptr)
            tint = disabled;
    }
    shared->requestImage(*record, layer, tint, ignoreTintOpacity, opacity * view.cumulativeDrawOpacity(),
                         windowScaleOf(view));
    return record;
}

void drawImageSetFrame(CView& view, CImageDrawList& list, std::int32_t index, bool shift, bool ignoreTintOpacity,
                       const CColor* overrideColor, double opacity) {
    list.records.clear();
    list.width = list.height = 0;
    const CImage* image = nullptr;
    const CImageLayer* first = frameLayer(view, index, shift, &image);
    if (first == nullptr)
        return;
    CViewColorTable* table = view.colorTable();
    if (table != nullptr)
        table->refresh();
    const CColor* disabled = view.isEffectivelyDisabled() && table != nullptr ? table->disabledColor() : nullptr;
    for (int i = 0; i < image->layerCount(); ++i) {
        CImageLayer* layer = image->layer(i);
        const CColor* tint = nullptr;
        if (i == 0 && overrideColor != nullptr)
            tint = overrideColor;
        else if (disabled != nullptr)
            tint = disabled;
        else if (table != nullptr)
            tint = table->getSlotColor(layer->colorIndex());
        if (CImageDraw* record = requestImageDraw(view, layer, tint, false, ignoreTintOpacity, opacity))
            list.records.add(record);
    }
    getImageSetFrameSize(view, index, shift, true, list.width, list.height);
}

void drawImageSetItem(const CView& view, CSector& sector, const CImageDrawList& list, std::int32_t x, std::int32_t y,
                      std::int32_t index, bool tileHorizontally, bool tileVertically) {
    CPixelRect clip;
    if (list.records.count() == 0 || sector.target == nullptr || !itemArea(view, sector, index, clip))
        return;
    if ((tileHorizontally || tileVertically) && (list.width <= 0 || list.height <= 0))
        return;
    // The tiles whose drawn extent reaches the sector: for frames drawn inside their cell, the first
    // cell at or before the sector's edge; a layer that reaches beyond its cell (a resampled copy)
    // adds the cells that overlap from outside, so that neighbouring sectors join without seams.
    const CPixelRect& window = sector.windowRect;
    std::int32_t reachLeft = 0, reachRight = list.width, reachTop = 0, reachBottom = list.height;
    for (int i = 0; i < list.records.count(); ++i) {
        const CImageDraw& record = *list.records[i];
        reachLeft = std::min(reachLeft, record.offsetX);
        reachTop = std::min(reachTop, record.offsetY);
        reachRight = std::max(reachRight, record.offsetX + record.width);
        reachBottom = std::max(reachBottom, record.offsetY + record.height);
    }
    const std::int32_t x0 = tileHorizontally ? firstTile(x, list.width, window.x - reachRight) + list.width : x;
    const std::int32_t y0 = tileVertically ? firstTile(y, list.height, window.y - reachBottom) + list.height : y;
    const std::int32_t xEnd = tileHorizontally ? window.x + window.width - reachLeft : x0 + 1;
    const std::int32_t yEnd = tileVertically ? window.y + window.height - reachTop : y0 + 1;
    const std::int32_t xStep = tileHorizontally ? list.width : 1;
    const std::int32_t yStep = tileVertically ? list.height : 1;
    for (std::int32_t ty = y0; ty < yEnd; ty += yStep)
        for (std::int32_t tx = x0; tx < xEnd; tx += xStep)
            for (int i = 0; i < list.records.count(); ++i)
                sector.target->drawImage(*list.records[i], tx - window.x, ty - window.y, clip);
}

void selectBrushRenderer(const CView& view, CLineDraw& job, bool withoutBrush, bool xOrdered, bool gradient,
                         std::int32_t gradientInt, double gradient1, double gradient2, double gradient3) {
    if (job.curve.count < 2 || job.curve.points == nullptr) {
        job.renderer = &CLinearBitmap::drawNothing;
        return;
    }
    job.curve.opacity *= view.cumulativeDrawOpacity();
    if (!withoutBrush) {
        job.renderer = job.curve.brush == nullptr ? &CLinearBitmap::drawNothing
                       : xOrdered                 ? &CLinearBitmap::drawColumnCurveAA
                                                  : &CLinearBitmap::drawCurveAA;
    } else if (!xOrdered) {
        job.renderer = &CLinearBitmap::drawPixelCurve;
    } else if (!gradient) {
        job.renderer = &CLinearBitmap::drawColumnCurve;
    } else {
        job.renderer = &CLinearBitmap::fillColumnArea;
        const CAreaRect total = view.area() != nullptr ? view.area()->totalRect() : CAreaRect{};
        job.curve.areaTop = total.y;
        job.curve.areaHeight = total.height;
        job.curve.edgeFactor = gradient1;
        job.curve.peakFactor = gradient2;
        job.curve.peakPosition = gradient3;
        job.curve.alphaTableMode = gradientInt != 0;
    }
}

void runBrushRenderer(CSector& sector, const CLineDraw& job) {
    if (sector.target != nullptr)
        (sector.target->*job.renderer)(job.curve, -sector.windowRect.x, -sector.windowRect.y, sector.clipRect);
}

void drawAxisLine(CSector& sector, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  const CColor& color, int tone, double intensity) {
    const std::int32_t alpha = std::int32_t(std::round(intensity * 32768.0 * color.opacity()));
    if (alpha < 129 || sector.target == nullptr)
        return;
    int rgb[3] = {255, 255, 255};
    if (tone <= 255 && color.toneTable() != nullptr) {
        const std::uint8_t* entry = color.tone(tone);
        rgb[0] = entry[0];
        rgb[1] = entry[1];
        rgb[2] = entry[2];
    }
    const CPixelRect& clip = sector.clipRect;
    if (x0 == x1) {
        const std::int32_t column = x0 - sector.windowRect.x;
        if (column < clip.x || column >= clip.x + clip.width)
            return;
        const std::int32_t from = std::max(std::min(y0, y1) - sector.windowRect.y, clip.y);
        const std::int32_t to = std::min(std::max(y0, y1) - sector.windowRect.y, clip.y + clip.height - 1);
        if (to >= from)
            sector.target->drawVLine(column, from, to, rgb[0], rgb[1], rgb[2], alpha);
        return;
    }
    const std::int32_t row = y0 - sector.windowRect.y;
    if (row < clip.y || row >= clip.y + clip.height)
        return;
    const std::int32_t from = std::max(std::min(x0, x1) - sector.windowRect.x, clip.x);
    const std::int32_t to = std::min(std::max(x0, x1) - sector.windowRect.x, clip.x + clip.width - 1);
    if (to >= from)
        sector.target->drawHLine(from, to, row, rgb[0], rgb[1], rgb[2], alpha);
}

bool getImageSetFrameColor(CView& view, std::int32_t index, bool shift, const CColor*& color, int& tone) {
    color = nullptr;
    tone = 0;
    const CImageLayer* layer = frameLayer(view, index, shift);
    if (layer == nullptr)
        return false;
    color = view.colorTable() != nullptr ? view.colorTable()->getColor(layer->colorIndex()) : nullptr;
    tone = layer->tone();
    return true;
}

void getImageSetFrameSize(CView& view, std::int32_t index, bool shift, bool scaled, std::int32_t& width,
                          std::int32_t& height) {
    width = height = 0;
    const CImageLayer* layer = frameLayer(view, index, shift);
    if (layer == nullptr)
        return;
    const double s = scaled ? windowScaleOf(view) : 1.0;
    width = std::int32_t(layer->inverseScale() * s * (layer->width() + layer->extraWidth()));
    height = std::int32_t(s * layer->inverseScale() * (layer->height() + layer->extraHeight()));
}

} // namespace tal
