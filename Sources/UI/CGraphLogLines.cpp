#include "UI/CGraphLogLines.h"

#include "Core/CError.h"
#include "UI/CGraphGridLines.h"
#include "UI/CMinMax.h"
#include "UI/CSector.h"
#include "UI/CSectorMap.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/Controls/CRuler.h"
#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

CObject* CGraphLogLines::create() { return new CGraphLogLines(); }

void CGraphLogLines::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addPlainEventOf<CGraphLogLines, &CGraphLogLines::onLinesUpdate>(scheme, "lines-update");
}

CGraphLogLines::~CGraphLogLines() {
    mFrequencyRange.reset();
    mGainRange.reset();
    mFrequencyRuler.reset();
    mGainRuler.reset();
}

CError* CGraphLogLines::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mGainStep = getDoubleAttr("gain-step");
    mIsHideBorderLines = getBoolAttr("is-hide-borderlines");
    colorTable()->setSlotName(0, getTextAttr("line-color"));
    return nullptr;
}

CError* CGraphLogLines::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    mFrequencyRange.init(this, CString(), CString(), this, CString("min-max-freq"));
    mFrequencyRange.listenEvent(CString("min-max-update"), CString("lines-update"));
    mGainRange.init(this, CString(), CString(), this, CString("min-max-gain"));
    mGainRange.listenEvent(CString("min-max-update"), CString("lines-update"));
    mFrequencyRuler.init(this, CString(), CString(), this, CString("ruler-freq"));
    mFrequencyRuler.listenEvent(CString("hairlines-update"), CString("lines-update"));
    mGainRuler.init(this, CString(), CString(), this, CString("ruler-gain"));
    mGainRuler.listenEvent(CString("hairlines-update"), CString("lines-update"));
    return nullptr;
}

CError* CGraphLogLines::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    mIsPlacementDirty = true;
    return nullptr;
}

CError* CGraphLogLines::onLinesUpdate() {
    mIsPositionsDirty = true;
    invalidate();
    return nullptr;
}

void CGraphLogLines::computeLines() {
    mVertical.clear();
    mHorizontal.clear();
    const CAreaRect total = area() != nullptr ? area()->totalRect() : CAreaRect();
    CRuler* frequencyRuler = getTextAttr("ruler-freq").isEmpty() ? nullptr : mFrequencyRuler.resolve();
    CRuler* gainRuler = getTextAttr("ruler-gain").isEmpty() ? nullptr : mGainRuler.resolve();
    if (frequencyRuler != nullptr)
        frequencyRuler->getHairlines(mVertical);
    else if (!getTextAttr("min-max-freq").isEmpty())
        if (CMinMax* range = mFrequencyRange.resolve())
            CGraphGridLines::frequencyLines(*range, total.x, total.width, mVertical);
    if (gainRuler != nullptr)
        gainRuler->getHairlines(mHorizontal);
    else if (!getTextAttr("min-max-gain").isEmpty())
        if (CMinMax* range = mGainRange.resolve())
            CGraphGridLines::gainLines(*range, mGainStep, total.y, total.height, mHorizontal);
    mIsPlacementDirty = true;
}

void CGraphLogLines::placeLines() {
    while (mItems.size() < mVertical.size() + mHorizontal.size())
        mItems.push_back(addDrawItem());
    mPlacedItems.clear();
    const CAreaRect total = area() != nullptr ? area()->totalRect() : CAreaRect();
    const std::int32_t x0 = std::int32_t(std::round(total.x)), y0 = std::int32_t(std::round(total.y));
    const std::int32_t width = std::int32_t(std::round(total.width)), height = std::int32_t(std::round(total.height));
    std::size_t next = 0;
    std::vector<int> coordinates;
    for (const bool isVertical : {true, false}) {
        CGraphGridLines::place(isVertical ? mVertical : mHorizontal, isVertical ? total.x : total.y,
                               isVertical ? total.width : total.height, mIsHideBorderLines, coordinates);
        for (int at : coordinates) {
            const std::int32_t index = mItems[next++];
            CViewDrawItem* item = drawItem(index);
            item->fullRect = isVertical ? CPixelRect{x0 + at, y0, 1, height} : CPixelRect{x0, y0 + at, width, 1};
            item->clipToParent();
            mPlacedItems.push_back(index);
        }
    }
}

bool CGraphLogLines::prepareDraw() {
    if (mIsPositionsDirty) {
        mIsPositionsDirty = false;
        computeLines();
    }
    if (mIsPlacementDirty) {
        mIsPlacementDirty = false;
        placeLines();
    }
    mLineColor = colorTable()->getSlotColor(0);
    return !mPlacedItems.empty();
}

void CGraphLogLines::paint(CSector& sector) {
    if (mLineColor == nullptr)
        return;
    for (std::int32_t index : mPlacedItems) {
        CPixelRect r;
        if (drawItem(index)->intersectContext(sector, r))
            sector.target->fillRect(r, *mLineColor, 255, 1.0);
    }
}

} // namespace tal
