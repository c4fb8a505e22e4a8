#include "UI/CGraphSampleRate.h"

#include "Core/CError.h"
#include "UI/CMinMax.h"
#include "UI/CSampleRateMonitor.h"
#include "UI/CSector.h"
#include "UI/CSectorMap.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

CObject* CGraphSampleRate::create() { return new CGraphSampleRate(); }

void CGraphSampleRate::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addPlainEventOf<CGraphSampleRate, &CGraphSampleRate::onMinMaxFreqUpdate>(scheme, "min-max-freq-update");
    addPlainEventOf<CGraphSampleRate, &CGraphSampleRate::onSampleRateUpdate>(scheme, "sample-rate-update");
}

CGraphSampleRate::~CGraphSampleRate() {
    mFrequencyRange.reset();
    mMonitor.reset();
}

CError* CGraphSampleRate::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mIsDirty = true;
    mMonitor.init(this, CString(), CString(), this, CString("sample-rate-monitor"));
    mMonitor.isRequired = true;
    mMonitor.listenEvent(CString("update"), CString("sample-rate-update"));
    colorTable()->setSlotName(0, getTextAttr("sample-rate-color"));
    mMarkerItems[0] = addDrawItem();
    mMarkerItems[1] = addDrawItem();
    return nullptr;
}

CError* CGraphSampleRate::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    mFrequencyRange.init(this, CString(), CString(), this, CString("min-max-freq"));
    mFrequencyRange.isRequired = true;
    mFrequencyRange.listenEvent(CString("min-max-update"), CString("min-max-freq-update"));
    return nullptr;
}

CError* CGraphSampleRate::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    mIsDirty = true;
    return nullptr;
}

CError* CGraphSampleRate::onMinMaxFreqUpdate() {
    mIsDirty = true;
    invalidate();
    return nullptr;
}

CError* CGraphSampleRate::onSampleRateUpdate() {
    mIsDirty = true;
    invalidate();
    return nullptr;
}

CGraphSampleRate::CPlacement CGraphSampleRate::markerPosition(const CMinMax& range, double f, double width,
                                                             std::int32_t& x) {
    if (!(f > 0.0) || CMinMax::isSameReal(range.min(), range.max()))
        return CPlacement::kKeep;
    if (f < range.min() || f > range.max())
        return CPlacement::kHide;
    const double g = range.toNormal(f);
    x = std::int32_t(std::round(std::round((width - 1.0) * g * 128.0) / 128.0));
    return CPlacement::kPlace;
}

void CGraphSampleRate::placeMarker(int marker, double f) {
    CMinMax* range = mFrequencyRange.resolve();
    if (range == nullptr || area() == nullptr)
        return;
    const CAreaRect& total = area()->totalRect();
    std::int32_t x = 0;
    CViewDrawItem* item = drawItem(mMarkerItems[marker]);
    switch (markerPosition(*range, f, total.width, x)) {
    case CPlacement::kKeep:
        return;
    case CPlacement::kHide:
        item->fullRect = CPixelRect{item->fullRect.x, item->fullRect.y, 0, 0};
        break;
    case CPlacement::kPlace:
        item->fullRect = CPixelRect{std::int32_t(std::round(total.x)) + x, std::int32_t(std::round(total.y)), 1,
                                    std::int32_t(std::round(total.height))};
        break;
    }
    item->clipToParent();
}

bool CGraphSampleRate::prepareDraw() {
    if (mIsDirty) {
        mIsDirty = false;
        CSampleRateMonitor* monitor = mMonitor.resolve();
        const double effective = monitor != nullptr ? monitor->effectiveRate() : -1.0;
        const double host = monitor != nullptr ? monitor->rate() : -1.0;
        placeMarker(0, effective < 0.0 ? -1.0 : effective / 2.0);
        placeMarker(1, host < 0.0 ? -1.0 : host / 2.0);
    }
    mMarkerColor = colorTable()->getSlotColor(0);
    return true;
}

void CGraphSampleRate::paint(CSector& sector) {
    if (mMarkerColor == nullptr)
        return;
    for (std::int32_t index : mMarkerItems) {
        CPixelRect r;
        if (drawItem(index)->intersectContext(sector, r))
            sector.target->fillRect(r, *mMarkerColor, 255, 1.0);
    }
}

} // namespace tal
