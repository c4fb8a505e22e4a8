#include "UI/Controls/CControlSurfaceSelection.h"

#include "Core/CError.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/Controls/CControlSurfaceBase.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tal {

bool CControlSurfaceSelection::isValid(const CControlPointRef& ref) const {
    return mOwner != nullptr && mOwner->getPoint(ref) != nullptr;
}

bool CControlSurfaceSelection::isPointSelected(const CUIParam* param, std::int32_t point) const {
    if (selected.empty())
        return true;
    if (mOwner == nullptr || param == nullptr)
        return false;
    for (std::int32_t i = 0; i < mOwner->layerCount(); ++i) {
        const CLayerRecord* record = mOwner->layer(i);
        if ((record->paramXy == param || record->paramY == param) && isPointSelected({i, point}))
            return true;
    }
    return false;
}

bool CControlSurfaceSelection::isPointSelected(const CControlPointRef& ref) const noexcept {
    return std::find(selected.begin(), selected.end(), ref) != selected.end();
}

bool CControlSurfaceSelection::isSelectedPointAt(double x, double y) const {
    if (mOwner == nullptr)
        return false;
    for (const CPointDisplay& record : mOwner->mPointDisplay)
        if (record.hits(x, y) && isPointSelected({record.layer, record.point}))
            return true;
    return false;
}

void CControlSurfaceSelection::addPoint(const CControlPointRef& ref, bool isExplicit) {
    if (!isValid(ref))
        return;
    const CLayerRecord* record = mOwner->layer(ref.layer);
    if (record->isInactive || record->isFreeformOn || record->arePointsHidden)
        return;
    if (!isPointSelected(ref))
        selected.push_back(ref);
    const auto found = std::find(explicitPoints.begin(), explicitPoints.end(), ref);
    if (isExplicit && found == explicitPoints.end())
        explicitPoints.push_back(ref);
    else if (!isExplicit && found != explicitPoints.end())
        explicitPoints.erase(found);
}

void CControlSurfaceSelection::removePoint(const CControlPointRef& ref) {
    if (auto found = std::find(selected.begin(), selected.end(), ref); found != selected.end())
        selected.erase(found);
    if (auto found = std::find(explicitPoints.begin(), explicitPoints.end(), ref); found != explicitPoints.end())
        explicitPoints.erase(found);
}

void CControlSurfaceSelection::clear(bool writeNone) {
    selected.clear();
    explicitPoints.clear();
    if (writeNone)
        writeSelParam({});
    if (mOwner != nullptr)
        mOwner->refreshReadouts();
}

void CControlSurfaceSelection::writeSelParam(const CControlPointRef& ref) {
    if (mOwner == nullptr)
        return;
    const CLayerRecord* currentLayer = mOwner->layer(mOwner->mCurrentPoint.layer);
    const CLayerRecord* refLayer = mOwner->layer(ref.layer);
    CUIParam* first = currentLayer != nullptr ? currentLayer->paramSel : nullptr;
    CUIParam* second = refLayer != nullptr ? refLayer->paramSel : nullptr;
    if (first != nullptr && first->bridge() != nullptr && (second == nullptr || first->bridge() != second->bridge()))
        first->setPlainValue(0, -1, CUIParamValue{});
    if (second != nullptr) {
        CUIParamValue value;
        value[0] = ref.point + 1;
        second->setPlainValue(0, -1, value);
    }
}

CError* CControlSurfaceSelection::setCurrentPoint(const CControlPointRef& ref, bool clearPending) {
    if (mOwner == nullptr)
        return nullptr;
    if (clearPending)
        mOwner->mPendingCurrentPoint = {};
    if (mOwner->mIsSimpleXyParamMode)
        return nullptr;
    const CControlPointRef old = mOwner->mCurrentPoint;
    if (!isValid(ref)) {
        if (CError* error = mOwner->setIntAttr(CString("curpos-band-sel"), -1, true))
            return traceError(error, CString("CControlSurfaceSelection"));
        mOwner->mCurrentPoint = {};
    } else {
        mOwner->mCurrentPoint = ref;
        if (CError* error = mOwner->setIntAttr(CString("curpos-band-sel"), ref.point, true))
            return traceError(error, CString("CControlSurfaceSelection"));
        addPoint(ref, false);
    }
    if (mOwner->mCurrentPoint != old)
        mOwner->markLayoutChanged();
    return nullptr;
}

void CControlSurfaceSelection::applyPendingCurrent() {
    if (mOwner == nullptr || mOwner->mPendingCurrentPoint.layer == -1 || mOwner->mPendingCurrentPoint.point == -1)
        return;
    logError(setCurrentPoint(mOwner->mPendingCurrentPoint, false));
    logError(mOwner->updateCurrentGraphPoint(false));
    mOwner->mPendingCurrentPoint = {};
}

void CControlSurfaceSelection::setPendingCurrent(const CControlPointRef& ref) {
    if (mOwner != nullptr)
        mOwner->mPendingCurrentPoint = ref;
}

void CControlSurfaceSelection::selectSingle(const CControlPointRef& ref) {
    selected.clear();
    explicitPoints.clear();
    if (mOwner != nullptr)
        mOwner->refreshReadouts();
    addPoint(ref, false);
    writeSelParam(ref);
}

void CControlSurfaceSelection::selectNeighbour(std::int32_t step) {
    if (mOwner == nullptr || mOwner->layerCount() == 0)
        return;
    CControlPointRef target;
    const CControlPointRef current = mOwner->mCurrentPoint;
    if (current.layer == -1 || current.point == -1) {
        // A layer without points has no point 0 to select.
        const CLayerRecord* record = mOwner->layer(mOwner->mCurrentLayer);
        if (record == nullptr || record->pointCount <= 0)
            return;
        target = {mOwner->mCurrentLayer, 0};
    } else {
        const auto& records = mOwner->mPointDisplay;
        if (records.empty())
            return;
        // Left to right; records at the same whole-pixel x keep their list order.
        std::map<std::int64_t, CControlPointRef> ordered;
        for (const CPointDisplay& record : records) {
            std::int64_t key = static_cast<std::int64_t>(record.x) * 1000;
            while (ordered.count(key) != 0)
                ++key;
            ordered[key] = {record.layer, record.point};
        }
        std::vector<CControlPointRef> order;
        for (const auto& [key, ref] : ordered)
            order.push_back(ref);
        const auto found = std::find(order.begin(), order.end(), current);
        const std::int32_t b = found == order.end() ? -1 : static_cast<std::int32_t>(found - order.begin());
        std::int32_t i = b + step;
        const auto n = static_cast<std::int32_t>(order.size());
        if (i < 0)
            i = n - 1;
        else if (i >= n)
            i = 0;
        target = order[static_cast<std::size_t>(i)];
    }
    clear(false);
    addPoint(target, false);
    writeSelParam(target);
}

CError* CControlSurfaceSelection::clickSelect(bool toggle, bool editableOnly, bool allowSegment, double x, double y) {
    if (mOwner == nullptr)
        return nullptr;
    mOwner->refreshReadouts();
    const auto& records = mOwner->mPointDisplay;
    if (records.empty())
        return nullptr;
    CControlPointRef hit;
    double best = 0.0;
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if (!record->hits(x, y))
            continue;
        if (editableOnly) {
            const CLayerRecord* owner = mOwner->layer(record->layer);
            if (owner == nullptr || !owner->isHitTestable())
                continue;
        }
        const double distance = std::hypot(record->x - x, record->y - y);
        if (hit.isNone() || distance < best) {
            best = distance;
            hit = {record->layer, record->point};
        }
    }
    if (!hit.isNone()) {
        if (toggle && isPointSelected(hit)) {
            if (hit == mOwner->mCurrentPoint)
                writeSelParam({});
            removePoint(hit);
            mOwner->markLayoutChanged();
            return nullptr;
        }
        writeSelParam(hit);
        addPoint(hit, true);
    } else if (allowSegment) {
        grabbedSegment = mOwner->findSegmentAt(editableOnly, x, y);
        if (grabbedSegment >= 0) {
            const CSegmentDisplay& segment = mOwner->mSegments[static_cast<std::size_t>(grabbedSegment)];
            addPoint(segment.start, false);
            addPoint(segment.end, false);
            grabbedEnds = {segment.start, segment.end};
        }
    }
    mOwner->markLayoutChanged();
    return nullptr;
}

void CControlSurfaceSelection::saveAtPress() {
    if (mOwner != nullptr)
        mOwner->mSavedCurrentPoint = mOwner->mCurrentPoint;
    atPress = selected;
}

void CControlSurfaceSelection::restoreAtPress() {
    selected = atPress;
    atPress.clear();
    if (mOwner != nullptr)
        writeSelParam(mOwner->mSavedCurrentPoint);
}

void CControlSurfaceSelection::restoreAfterSegmentGrab() {
    if (grabbedSegment == -1)
        return;
    selected = beforeSegmentGrab;
    grabbedSegment = -1;
    grabbedEnds.clear();
}

void CControlSurfaceSelection::purgeInvalid() {
    std::erase_if(selected, [&](const CControlPointRef& ref) { return !isValid(ref); });
    std::erase_if(explicitPoints, [&](const CControlPointRef& ref) { return !isValid(ref); });
}

} // namespace tal
