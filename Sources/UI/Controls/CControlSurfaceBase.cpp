#include "UI/Controls/CControlSurfaceBase.h"

#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "UI/CGraph.h"
#include "UI/CMinMax.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CViewArea.h"

#include "Core/CAttrMap.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tal {
namespace {

constexpr double kEpsilon = 2.2204461e-16;

bool isZero(double x) noexcept { return std::fabs(x) <= std::fabs(x) * kEpsilon; }

std::int32_t roundHalfAway(double v) noexcept {
    return static_cast<std::int32_t>(v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5));
}

double plainValue(CUIParam* param, std::int32_t element, std::int32_t component) {
    CUIParamValue value;
    param->getPlainValue(value, element, -1);
    return value[component];
}

} // namespace

CControlSurfaceBase::~CControlSurfaceBase() { mGraph.reset(); }

// --- CControlSurfaceExtern ---

double CControlSurfaceBase::getBandHue(std::int32_t index) {
    const CLayerRecord* record = currentLayerRecord();
    if (record == nullptr || index < 0 || index >= static_cast<std::int32_t>(record->points.size()))
        return 0.0;
    return std::clamp(record->points[static_cast<std::size_t>(index)]->x, 0.0, 1.0);
}

bool CControlSurfaceBase::updateActiveBands(std::int32_t index, std::vector<std::int32_t>& current,
                                            std::vector<std::int32_t>& previous) {
    CLayerRecord* record = currentLayerRecord();
    if (mSelection == nullptr || record == nullptr)
        return false;
    std::vector<std::int32_t> active;
    bool hasIndex = false;
    for (const CControlPointRef& ref : mSelection->selected) {
        if (ref.layer != mCurrentLayer)
            continue;
        if (record->paramFilterMode != nullptr && isZero(plainValue(record->paramFilterMode, ref.point, 0)))
            continue;
        active.push_back(ref.point);
        hasIndex = hasIndex || ref.point == index;
    }
    if (index >= 0 && !hasIndex)
        active.push_back(index);
    if (active == current)
        return false;
    previous = current;
    current = std::move(active);
    return true;
}

CError* CControlSurfaceBase::updateHover() {
    if (CError* error = updateGluedPoints())
        return traceError(error, getFullName());
    updateCurveHoverPoint();
    return nullptr;
}

bool CControlSurfaceBase::isPointSelected(const CUIParam* param, std::int32_t point) {
    return mSelection != nullptr && mSelection->isPointSelected(param, point);
}

// --- layers and points ---

std::int32_t CControlSurfaceBase::registerLayer(const CString& name) {
    auto record = std::make_unique<CLayerRecord>();
    record->name = name;
    mLayers.push_back(std::move(record));
    return layerCount() - 1;
}

CLayerRecord* CControlSurfaceBase::layer(std::int32_t i) noexcept {
    return i >= 0 && i < layerCount() ? mLayers[static_cast<std::size_t>(i)].get() : nullptr;
}

CControlPoint* CControlSurfaceBase::getPoint(const CControlPointRef& ref) {
    CLayerRecord* record = layer(ref.layer);
    if (record == nullptr || ref.point < 0 || ref.point >= record->pointCount)
        return nullptr;
    return record->pointRecord(ref.point);
}

std::int32_t CControlSurfaceBase::findLayerByName(const CString& name) const {
    for (std::int32_t i = 0; i < layerCount(); ++i)
        if (mLayers[static_cast<std::size_t>(i)]->name == name)
            return i;
    return -1;
}

// --- mapping ---

CUIParam* CControlSurfaceBase::axisParam(const CLayerRecord& record, bool isY,
                                         std::int32_t& component) const noexcept {
    component = 0;
    if (record.paramXy != nullptr) {
        component = isY ? 1 : 0;
        return record.paramXy;
    }
    return isY ? record.paramY : record.paramX;
}

double CControlSurfaceBase::valueToDisplay(bool isY, std::int32_t index, double v) {
    if (mIsSimpleXyParamMode && mIsSimpleXyIgnoreMinmax)
        return v;
    CLayerRecord* record = layer(index);
    if (record == nullptr)
        return v;
    CMinMax* range = (isY ? record->minMaxY : record->minMaxX).resolve();
    std::int32_t component = 0;
    CUIParam* param = axisParam(*record, isY, component);
    if (range == nullptr || param == nullptr)
        return v;
    const double lo = param->toDisplay(component, 0.0);
    const double hi = param->toDisplay(component, 1.0);
    double plain = lo;
    if (!range->isLog())
        plain = lo + (hi - lo) * v;
    else if (lo > 0.0 && hi > 0.0)
        plain = std::exp(std::log(hi / lo) * v + std::log(lo));
    return range->toNormal(plain);
}

double CControlSurfaceBase::displayToValue(bool isY, std::int32_t index, double d) {
    if (mIsSimpleXyParamMode && mIsSimpleXyIgnoreMinmax)
        return d;
    CLayerRecord* record = layer(index);
    if (record == nullptr)
        return d;
    CMinMax* range = (isY ? record->minMaxY : record->minMaxX).resolve();
    std::int32_t component = 0;
    CUIParam* param = axisParam(*record, isY, component);
    if (range == nullptr || param == nullptr)
        return d;
    const double lo = param->toDisplay(component, 0.0);
    const double hi = param->toDisplay(component, 1.0);
    const double plain = range->fromNormal(d);
    if (range->isLog())
        return lo > 0.0 && hi > 0.0 ? std::log(plain / lo) / std::log(hi / lo) : 0.0;
    return isZero(hi - lo) ? 0.0 : (plain - lo) / (hi - lo);
}

double CControlSurfaceBase::clampPosition(double v) const noexcept {
    return mIsGluedStateValid ? v : std::clamp(v, 0.0, 1.0);
}

bool CControlSurfaceBase::isPositionDifferent(const double a[2], const double b[2]) noexcept {
    return !CMinMax::isSameReal(a[0], b[0]) || !CMinMax::isSameReal(a[1], b[1]);
}

std::int32_t CControlSurfaceBase::getFilterMode(const CControlPointRef& ref) {
    CLayerRecord* record = layer(ref.layer);
    if (record == nullptr || record->paramFilterMode == nullptr)
        return -1;
    return roundHalfAway(plainValue(record->paramFilterMode, ref.point, 0));
}

// --- glued mode and curve hover ---

double CControlSurfaceBase::hitScale() const noexcept { return area() != nullptr ? area()->windowScale() : 1.0; }

CAreaRect CControlSurfaceBase::surfaceRect() const noexcept {
    return area() != nullptr ? area()->totalRect() : CAreaRect{};
}

CError* CControlSurfaceBase::updateGluedPoints() {
    CLayerRecord* record = currentLayerRecord();
    if (!mIsGluedMode || mIsSimpleXyParamMode || record == nullptr)
        return nullptr;
    auto* graph = dynamic_cast<CGraph*>(mGraph.resolve());
    if (graph == nullptr)
        return nullptr;
    const CAreaRect rect = surfaceRect();
    const double w = rect.width;
    const double h = rect.height;
    for (std::int32_t i = 0; i < record->pointCount; ++i) {
        CControlPoint* p = record->pointRecord(i);
        p->gluedY = graph->getCurveValueAt(-1, nullptr, p->rawX, p->rawY);
        double weight = 1.0;
        bool found = false;
        const double y1 = graph->getCurveValueAt(i, &found, p->rawX - 1.0 / w, p->rawY);
        if (found) {
            const double y2 = graph->getCurveValueAt(i, &found, p->rawX + 1.0 / w, p->rawY);
            if (found) {
                // The band curve's slope in pixels per pixel over two pixels, capped at 3.
                const double s = std::min(std::fabs((y2 * h - y1 * h) * 0.5), 3.0);
                weight = std::sqrt(1.0 / std::sqrt(s * s + 1.0));
            }
        }
        p->gluedWeight = weight;
    }
    mIsGluedStateValid = true;
    if (CError* error = updatePointDisplay())
        return traceError(error, getFullName());
    if (CError* error = updateLayout())
        return traceError(error, getFullName());
    return nullptr;
}

void CControlSurfaceBase::updateCurveHoverPoint() {
    const CAreaRect rect = surfaceRect();
    const CLayerRecord* record = currentLayerRecord();
    auto* graph = dynamic_cast<CGraph*>(mGraph.resolve());
    if (!mIsCurveDragAddingPoints || !mIsSnapAddBand || rect.width < 1.0 || rect.height < 1.0 ||
        !mDraggedPoints.empty() || !mDragPoint.isNone() || graph == nullptr || mIsMouseOutside || mIsPanning ||
        record == nullptr || record->arePointsHidden) {
        mCurveHoverPoint[0] = mCurveHoverPoint[1] = 0.0;
        return;
    }
    double mouse[2] = {0.0, 0.0};
    getMousePosition(mouse, false, true);
    const double old[2] = {mCurveHoverPoint[0], mCurveHoverPoint[1]};
    graph->findNearestCurvePoint(mouse, mCurveHoverPoint, mIsSnapAddBandToCurrent, 12.0);
    if (mCurveHoverPoint[0] != 0.0 || mCurveHoverPoint[1] != 0.0) {
        if (findPointAt(true, false, true, mCurveHoverPoint[0], mCurveHoverPoint[1], 12.0) >= 0) {
            mCurveHoverPoint[0] = mCurveHoverPoint[1] = 0.0;
        } else {
            mCurveHoverPoint[0] /= rect.width;
            mCurveHoverPoint[1] = 1.0 - mCurveHoverPoint[1] / rect.height;
        }
    }
    if (isPositionDifferent(mCurveHoverPoint, old))
        invalidate();
}

// --- hit testing ---

std::int32_t CControlSurfaceBase::findPointAt(bool editableOnly, bool xOnly, bool ignoreRects, double x, double y,
                                              double maxDistance) {
    std::int32_t result = -1;
    double best = maxDistance * hitScale();
    for (std::int32_t i = static_cast<std::int32_t>(mPointDisplay.size()) - 1; i >= 0; --i) {
        const CPointDisplay& record = mPointDisplay[static_cast<std::size_t>(i)];
        if (editableOnly) {
            const CLayerRecord* owner = layer(record.layer);
            if (owner == nullptr || !owner->isHitTestable())
                continue;
        }
        double distance = 0.0;
        if (xOnly) {
            distance = std::fabs(record.x - x);
        } else {
            if (!ignoreRects && !record.hits(x, y))
                continue;
            distance = std::hypot(record.x - x, record.y - y);
        }
        if (distance < best) {
            best = distance;
            result = i;
        }
    }
    return result;
}

CError* CControlSurfaceBase::updateHoverAt(double x, double y) {
    mHoverSegment = -1;
    std::int32_t hit = -1;
    double best = hitScale() * 1e10;
    for (std::int32_t i = static_cast<std::int32_t>(mPointDisplay.size()) - 1; i >= 0; --i) {
        const CPointDisplay& record = mPointDisplay[static_cast<std::size_t>(i)];
        const CLayerRecord* owner = layer(record.layer);
        if (owner == nullptr || !owner->isHitTestable() || !record.hits(x, y))
            continue;
        const double distance = std::hypot(record.x - x, record.y - y);
        if (distance < best) {
            best = distance;
            hit = i;
        }
    }
    mDraggedPoints.clear();
    mHoverPoint = {};
    if (hit >= 0) {
        const CPointDisplay& record = mPointDisplay[static_cast<std::size_t>(hit)];
        mHoverPoint = {record.layer, record.point};
        mDraggedPoints.push_back(mHoverPoint);
    }
    mAreReadoutsDirty = true;
    invalidate();
    if (hit < 0)
        mHoverSegment = findSegmentAt(true, x, y);
    mHoverLabel = {};
    for (const CLabelArea& label : mLabelAreas) {
        if (label.x <= x && label.y <= y && x < label.x + label.width && y < label.y + label.height) {
            mHoverLabel = label.point;
            break;
        }
    }
    if (hit >= 0 || mHoverSegment >= 0 || (mHoverLabel.layer != -1 && mHoverLabel.point != -1)) {
        mCurveHoverPoint[0] = mCurveHoverPoint[1] = 0.0;
        return nullptr;
    }
    updateCurveHoverPoint();
    return nullptr;
}

std::int32_t CControlSurfaceBase::findSegmentAt(bool onlyEditable, double x, double y) {
    const CAreaRect rect = surfaceRect();
    const double p[2] = {x + rect.x, y + rect.y};
    double best = mMaxDistToSegment * hitScale();
    std::int32_t result = -1;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(mSegments.size()); ++i) {
        const CSegmentDisplay& segment = mSegments[static_cast<std::size_t>(i)];
        if (onlyEditable) {
            const CLayerRecord* owner = layer(segment.start.layer);
            if (owner == nullptr || !owner->isHitTestable())
                continue;
        }
        const double a[2] = {segment.startX, segment.startY};
        const double b[2] = {segment.endX, segment.endY};
        double distance = 0.0;
        distanceToSegment(p, a, b, nullptr, true, distance);
        if (distance < best) {
            best = distance;
            result = i;
        }
    }
    return result;
}

double CControlSurfaceBase::projectOnSegment(const CSegmentDisplay& segment, double out[2], double x, double y,
                                             double& length) const {
    const CAreaRect rect = surfaceRect();
    const double a[2] = {segment.startX - rect.x, segment.startY - rect.y};
    const double b[2] = {segment.endX - rect.x, segment.endY - rect.y};
    const double dx = b[0] - a[0];
    const double dy = b[1] - a[1];
    const double v = (x - a[0]) * dx + (y - a[1]) * dy;
    const double squared = dx * dx + dy * dy;
    if (v <= 0.0 || isZero(v)) {
        out[0] = a[0];
        out[1] = a[1];
    } else if (v >= squared) {
        out[0] = b[0];
        out[1] = b[1];
    } else {
        out[0] = a[0] + v / squared * dx;
        out[1] = a[1] + v / squared * dy;
    }
    length = std::sqrt(squared);
    return length < 0.001 ? 0.0 : std::hypot(out[0] - a[0], out[1] - a[1]) / length;
}

bool CControlSurfaceBase::isInAreaRect(double x, double y) const noexcept {
    CAreaRect r = mAreaRect;
    if (r.width >= 1e-5 && r.height >= 1e-5) {
        r.x -= 7.0;
        r.y -= 7.0;
        r.width += 14.0;
        r.height += 14.0;
    }
    return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
}

double CControlSurfaceBase::distanceToLine(const double p[2], const double a[2], const double b[2]) noexcept {
    return std::fabs((a[1] - p[1]) * (b[0] - a[0]) - (a[0] - p[0]) * (b[1] - a[1])) /
           std::hypot(b[0] - a[0], b[1] - a[1]);
}

bool CControlSurfaceBase::distanceToSegment(const double p[2], const double a[2], const double b[2], double* out,
                                            bool excludeEnds, double& distance) const noexcept {
    const double r = mMinDistToSegmentVertex * hitScale();
    const double toA = (p[0] - a[0]) * (p[0] - a[0]) + (p[1] - a[1]) * (p[1] - a[1]);
    const double toB = (p[0] - b[0]) * (p[0] - b[0]) + (p[1] - b[1]) * (p[1] - b[1]);
    if (excludeEnds && (toA < r * r || toB < r * r)) {
        // Near an end the point there is hit, not the segment.
        distance = 1e10;
        return true;
    }
    const double dx = b[0] - a[0];
    const double dy = b[1] - a[1];
    const double v = (p[0] - a[0]) * dx + (p[1] - a[1]) * dy;
    const double squared = dx * dx + dy * dy;
    double nearest[2] = {a[0], a[1]};
    if (v >= squared && v > 0.0) {
        nearest[0] = b[0];
        nearest[1] = b[1];
    } else if (v > 0.0) {
        nearest[0] = a[0] + v / squared * dx;
        nearest[1] = a[1] + v / squared * dy;
    }
    if (out != nullptr) {
        out[0] = nearest[0];
        out[1] = nearest[1];
    }
    distance = std::hypot(p[0] - nearest[0], p[1] - nearest[1]);
    return true;
}

// --- selection records ---

CError* CControlSurfaceBase::activateSelection() {
    if (mSelection != nullptr && mActiveSelectionKey == mWantedSelectionKey)
        return nullptr;
    auto found = std::find_if(mSelections.begin(), mSelections.end(),
                              [&](const auto& entry) { return entry.first == mWantedSelectionKey; });
    if (found == mSelections.end()) {
        mSelections.emplace_back(mWantedSelectionKey, std::make_unique<CControlSurfaceSelection>());
        found = mSelections.end() - 1;
        found->second->setOwner(this);
    }
    CControlSurfaceSelection* previous = mSelection;
    mActiveSelectionKey = mWantedSelectionKey;
    mSelection = found->second.get();
    if (previous != nullptr && previous != mSelection) {
        // A selection parameter with one value for every group carries the explicit choice across.
        for (std::int32_t i = 0; i < layerCount(); ++i) {
            CUIParam* sel = mLayers[static_cast<std::size_t>(i)]->paramSel;
            if (sel == nullptr || sel->bridge() == nullptr || !sel->updateActive() || !sel->bridge()->isSingleGroup())
                continue;
            const std::vector<CControlPointRef> selected = mSelection->selected;
            for (const CControlPointRef& ref : selected)
                if (ref.layer == i)
                    mSelection->removePoint(ref);
            for (const CControlPointRef& ref : previous->explicitPoints)
                if (ref.layer == i)
                    mSelection->addPoint(ref, true);
        }
    }
    mSelection->purgeInvalid();
    return nullptr;
}

// --- band state from the parameters ---

CError* CControlSurfaceBase::onLayerParamChanged(std::int32_t index, CUIParam* param, std::int32_t first,
                                                 std::int32_t count) {
    CLayerRecord* record = layer(index);
    if (record == nullptr || param == nullptr || param == record->paramHover)
        return nullptr;
    if (param == record->paramFreeformDrawing) {
        record->isFreeformOn = plainValue(param, 0, 0) > 0.5;
        markLayoutChanged();
        return nullptr;
    }
    if (param == record->paramHidePoints) {
        record->arePointsHidden = plainValue(param, 0, 0) > 0.5;
        if (record->arePointsHidden && mSelection != nullptr) {
            mSelection->clear(true);
        }
        markLayoutChanged();
        return nullptr;
    }
    if (record->isEditable && index == mCurrentLayer) {
        // Every group and bridge of the position parameter keeps a selection of its own.
        CUIParam* position = positionParam(*record);
        if (position != nullptr && position->bridge() != nullptr) {
            const std::string key = "Group=" + std::to_string(position->currentGroup()) + ",Bridge=" +
                                    position->bridge()->getFullName().narrowed().chars8();
            mWantedSelectionKey = CString(key.c_str());
        }
    }
    if (param == record->paramCount) {
        if (CError* error = setPointCount(index, roundHalfAway(plainValue(param, 0, 0))))
            return traceError(error, getFullName());
        if (record->paramSel != nullptr)
            if (CError* error = onLayerParamChanged(index, record->paramSel, 0, 0))
                return traceError(error, getFullName());
        return nullptr;
    }
    if (param == record->paramSel) {
        const std::int32_t v = roundHalfAway(plainValue(param, 0, 0));
        if (mSelection == nullptr)
            return nullptr;
        if (v != 0)
            mSelection->setPendingCurrent({index, v - 1});
        else if (mCurrentPoint.layer == index)
            if (CError* error = mSelection->setCurrentPoint({}, true))
                return traceError(error, getFullName());
        return nullptr;
    }
    std::int32_t end = 0;
    if (count >= 1) {
        if (first < 0 || first + count > record->pointCount) {
            first = 0;
            end = record->pointCount;
        } else {
            end = first + count;
        }
    } else {
        first = 0;
        end = std::max(record->pointCount, param->getElementCount(-1));
    }
    if (param == record->paramFilterMode) {
        if (CError* error = updateCurrentGraphPoint(false))
            return traceError(error, getFullName());
        for (std::int32_t i = first; i < end; ++i)
            record->pointRecord(i)->bandType = roundHalfAway(plainValue(param, i, 0));
    }
    bool xChanged = false;
    for (std::int32_t i = first; i < end; ++i) {
        mIsXyBridged = false;
        readPointFromBindings({index, i}, param, xChanged);
    }
    updatePointOrder(index);
    if (xChanged)
        if (CError* error = updateGluedPoints())
            return traceError(error, getFullName());
    for (std::int32_t i = first; i < end && i < static_cast<std::int32_t>(record->points.size()); ++i) {
        CControlPoint* p = record->pointRecord(i);
        if (!p->cursorWarpPending)
            continue;
        p->cursorWarpPending = false;
        const double v = mIsGluedStateValid ? p->gluedY : p->y;
        moveMouseCursor(mPlotRect.x + p->x * (mPlotRect.width - 1.0), mPlotRect.y + (1.0 - v) * mPlotRect.height);
        if (mSelection != nullptr)
            mSelection->selectSingle({index, i});
    }
    markLayoutChanged();
    syncScrollTargets();
    return nullptr;
}

CError* CControlSurfaceBase::setPointCount(std::int32_t index, std::int32_t count) {
    CLayerRecord* record = layer(index);
    if (record == nullptr || count == record->pointCount)
        return nullptr;
    const std::int32_t old = record->pointCount;
    record->pointCount = count;
    if (count > old) {
        for (CUIParam* param : {record->paramXy, record->paramX, record->paramY, record->paramBw, record->paramDyn})
            if (param != nullptr)
                if (CError* error = onLayerParamChanged(index, param, old, count - old))
                    return traceError(error, getFullName());
    }
    // No band beyond the count stays selected.
    if (count < old && mSelection != nullptr)
        mSelection->purgeInvalid();
    updatePointOrder(index);
    markLayoutChanged();
    return nullptr;
}

void CControlSurfaceBase::installPoints(std::int32_t index, const std::vector<std::unique_ptr<CControlPoint>>& list) {
    CLayerRecord* record = layer(index);
    if (record == nullptr)
        return;
    std::vector<std::unique_ptr<CControlPoint>> old = std::move(record->points);
    record->points.clear();
    for (const auto& p : list)
        record->points.push_back(std::make_unique<CControlPoint>(*p));
    // Only points that existed keep their state; surplus records beyond the count are stale.
    const std::size_t kept =
        std::min({old.size(), list.size(), static_cast<std::size_t>(std::max(record->pointCount, 0))});
    for (std::size_t i = 0; i < kept; ++i) {
        CControlPoint& p = *record->points[i];
        const CControlPoint& before = *old[i];
        if (!p.isFixedX) {
            p.x = before.x;
            p.rawX = before.rawX;
        }
        if (!p.isFixedY) {
            p.y = before.y;
            p.rawY = before.rawY;
        }
        p.bandType = before.bandType;
        p.dragSlot = before.dragSlot;
    }
    mDraggedPoints.clear();
    mHoverPoint = {};
    mAreReadoutsDirty = true;
    invalidate();
    if (mSelection != nullptr && getPoint(mCurrentPoint) != nullptr)
        mSelection->addPoint(mCurrentPoint, false);
    refreshLayer(index);
}

void CControlSurfaceBase::readPointFromBindings(const CControlPointRef& ref, const CUIParam* param, bool& xChanged) {
    CLayerRecord* record = layer(ref.layer);
    if (record == nullptr || ref.point < 0 || ref.point >= record->pointCount)
        return;
    CControlPoint* p = record->pointRecord(ref.point);
    auto applies = [&](const CUIParam* binding) { return binding != nullptr && (param == nullptr || param == binding); };
    auto normalized = [&](CUIParam* binding) {
        CUIParamValue value;
        binding->getNormalizedValue(value, ref.point, -1);
        return value;
    };
    if (applies(record->paramXy)) {
        const CUIParamValue value = normalized(record->paramXy);
        p->rawX = valueToDisplay(false, ref.layer, value[0]);
        p->x = std::clamp(p->rawX, 0.0, 1.0);
        p->rawY = valueToDisplay(true, ref.layer, value[1]);
        p->y = std::clamp(p->rawY, 0.0, 1.0);
        xChanged = true;
    }
    if (applies(record->paramX)) {
        p->rawX = valueToDisplay(false, ref.layer, normalized(record->paramX)[0]);
        p->x = std::clamp(p->rawX, 0.0, 1.0);
        xChanged = true;
    }
    if (applies(record->paramY)) {
        p->rawY = valueToDisplay(true, ref.layer, normalized(record->paramY)[0]);
        p->y = std::clamp(p->rawY, 0.0, 1.0);
    }
    if (applies(record->paramBw))
        p->bandwidth = normalized(record->paramBw)[0];
    if (applies(record->paramDyn))
        p->dyn = normalized(record->paramDyn)[0];
}

void CControlSurfaceBase::refreshLayer(std::int32_t index) {
    CLayerRecord* record = layer(index);
    if (record == nullptr)
        return;
    updatePointOrder(index);
    if (record->paramCount != nullptr)
        reportError(onLayerParamChanged(index, record->paramCount, 0, 0));
    for (CUIParam* param : record->valueParams())
        if (param != nullptr)
            reportError(onLayerParamChanged(index, param, 0, 0));
    markLayoutChanged();
}

void CControlSurfaceBase::updatePointOrder(std::int32_t index) {
    CLayerRecord* record = layer(index);
    if (record == nullptr)
        return;
    record->order.resize(static_cast<std::size_t>(std::max(record->pointCount, 0)));
    for (std::int32_t i = 0; i < record->pointCount; ++i)
        record->order[static_cast<std::size_t>(i)] = i;
    if (!record->isSorted)
        return;
    const bool byY = record->isVertical;
    std::stable_sort(record->order.begin(), record->order.end(), [&](std::int32_t a, std::int32_t b) {
        const CControlPoint* pa = record->pointRecord(a);
        const CControlPoint* pb = record->pointRecord(b);
        return byY ? pa->y < pb->y : pa->x < pb->x;
    });
}

CError* CControlSurfaceBase::toggleBand(const CControlPointRef& ref, bool onlyOn, bool commit, bool& gluedOn) {
    gluedOn = false;
    CLayerRecord* record = layer(ref.layer);
    if (record == nullptr || ref.point < 0 || record->paramFilterMode == nullptr ||
        record->paramPrevFilterMode == nullptr)
        return nullptr;
    CUIParam* type = record->paramFilterMode;
    CUIParam* previous = record->paramPrevFilterMode;
    CUIParamValue typeValue;
    type->getPlainValue(typeValue, ref.point, -1);
    const std::int32_t t = roundHalfAway(typeValue[0]);
    const std::int32_t q = roundHalfAway(plainValue(previous, ref.point, 0));
    mUndoCollector.addParam(type);
    if (t != 0) {
        if (onlyOn)
            return nullptr;
        mUndoCollector.addParam(previous);
        previous->setPlainValue(ref.point, -1, typeValue);
        CUIParamValue off;
        type->setPlainValue(ref.point, -1, off);
    } else if (q != 0) {
        CUIParamValue value;
        value[0] = q;
        type->setPlainValue(ref.point, -1, value);
        if (CError* error = updateCurrentGraphPoint(true))
            return traceError(error, getFullName());
        gluedOn = mIsGluedStateValid;
    } else {
        CUIParamValue value;
        const CControlPoint* p = getPoint(ref);
        value[0] = p != nullptr ? getAutoBandType(ref.layer, p->x) : 0;
        type->setPlainValue(ref.point, -1, value);
        if (CError* error = updateCurrentGraphPoint(true))
            return traceError(error, getFullName());
    }
    if (commit)
        mUndoCollector.commit(CString("Filter type change"));
    CAttrMap args;
    args.findOrAdd("index")->value.setInt(ref.point);
    return traceError(fireEvent(CString("band-mode-changed"), &args, false), getFullName());
}

CError* CControlSurfaceBase::updateCurrentGraphPoint(bool force) {
    CControlPointRef band = mHoverPoint;
    if (band.layer == -1 || band.point == -1)
        band = mCurrentPoint;
    const CLayerRecord* record = layer(band.layer);
    std::int32_t shown = -1;
    if (record != nullptr && band.point >= 0 && band.point < record->pointCount && record->paramFilterMode != nullptr) {
        if (roundHalfAway(plainValue(record->paramFilterMode, band.point, 0)) > 0 || force)
            shown = band.point;
    }
    return traceError(setIntAttr(CString("current-graph-point"), shown, true), getFullName());
}

void CControlSurfaceBase::updateLayerActivity(std::int32_t index) {
    CLayerRecord* record = layer(index);
    if (record == nullptr)
        return;
    bool inactive = false;
    for (CUIParam* param : record->valueParams())
        if (param != nullptr && !param->updateActive())
            inactive = true;
    record->isInactive = inactive;
    markLayoutChanged();
}

void CControlSurfaceBase::setLayerInactive(std::int32_t index) {
    if (CLayerRecord* record = layer(index)) {
        record->isInactive = true;
        markLayoutChanged();
    }
}

bool CControlSurfaceBase::store(bool& field, bool value) noexcept {
    if (field == value)
        return false;
    field = value;
    return true;
}

void CControlSurfaceBase::setLayerDragSegments(std::int32_t index, bool value) {
    if (CLayerRecord* record = layer(index); record != nullptr && store(record->isDragSegments, value))
        markLayoutChanged();
}

void CControlSurfaceBase::setLayerEditable(std::int32_t index, bool value) {
    if (CLayerRecord* record = layer(index); record != nullptr && store(record->isEditable, value))
        markLayoutChanged();
}

void CControlSurfaceBase::setLayerVisible(std::int32_t index, bool value) {
    if (CLayerRecord* record = layer(index); record != nullptr && store(record->isVisible, value))
        markLayoutChanged();
}

void CControlSurfaceBase::setLayerSorted(std::int32_t index, bool value) {
    if (CLayerRecord* record = layer(index); record != nullptr && store(record->isSorted, value) && value)
        updatePointOrder(index);
}

void CControlSurfaceBase::setLayerVertical(std::int32_t index, bool value) {
    if (CLayerRecord* record = layer(index); record != nullptr && store(record->isVertical, value) && record->isSorted)
        updatePointOrder(index);
}

void CControlSurfaceBase::setLayerMinMaxX(std::int32_t index, const CString& fullName) {
    if (CLayerRecord* record = layer(index)) {
        record->minMaxX.init(this, fullName, CString(), this, CString());
        record->minMaxX.listenEvent(CString("min-max-update"), CString("min-max-update"));
    }
}

void CControlSurfaceBase::setLayerMinMaxY(std::int32_t index, const CString& fullName) {
    if (CLayerRecord* record = layer(index)) {
        record->minMaxY.init(this, fullName, CString(), this, CString());
        record->minMaxY.listenEvent(CString("min-max-update"), CString("min-max-update"));
    }
}

// --- editing points ---

CError* CControlSurfaceBase::getPointCount(std::int32_t index, std::int32_t& count, std::int32_t& maximum,
                                           std::int32_t group) {
    count = 0;
    maximum = 0;
    CLayerRecord* record = layer(index);
    if (record == nullptr)
        return nullptr;
    if (record->paramCount != nullptr) {
        CUIParamValue value;
        record->paramCount->getPlainValue(value, 0, group);
        count = roundHalfAway(value[0]);
        maximum = roundHalfAway(record->paramCount->getMaxValue(0));
        return nullptr;
    }
    if (!mIsSimpleXyParamMode)
        return makeError(nullptr, CString(__FILE__), __LINE__, getFullName(),
                         CString("@talstr_CControlSurfaceBase_getPointCount_NoUIParamCount UIParamCount not defined."));
    for (CUIParam* param : {record->paramXy, record->paramX, record->paramY}) {
        if (param != nullptr) {
            count = param->getElementCount(group);
            maximum = 999;
            break;
        }
    }
    return nullptr;
}

CError* CControlSurfaceBase::addPoint(std::int32_t index, bool isTemporary, std::int32_t group, double px, double py) {
    CLayerRecord* record = layer(index);
    if (record == nullptr || (!mIsSimpleXyParamMode && record->paramCount == nullptr))
        return nullptr;
    mLastAddedPoint = {};
    mDraggedPoints.clear();
    mHoverPoint = {};
    mAreReadoutsDirty = true;
    invalidate();
    if (mSelection != nullptr)
        mSelection->clear(true);
    const double x = (px - mPlotRect.x) / mPlotRect.width;
    const double y = 1.0 - (py - mPlotRect.y) / mPlotRect.height;
    if (mIsSimpleXyParamMode && !isTemporary)
        return nullptr;  // the point list of simple xy mode is edited through its own parameter
    std::int32_t n = 0;
    std::int32_t maximum = 0;
    if (CError* error = getPointCount(index, n, maximum, group))
        return traceError(error, getFullName());
    // A full layer takes no band: writing element `maximum` would lie beyond the band array.
    if (n >= maximum)
        return nullptr;
    auto collect = [&](CUIParam* param) {
        if (!isTemporary)
            mUndoCollector.addParam(param);
    };
    auto writePlain = [&](CUIParam* param, double v) {
        CUIParamValue value;
        value[0] = v;
        param->setPlainValue(n, group, value);
    };
    auto writeNormalized = [&](CUIParam* param, double v) {
        CUIParamValue value;
        value[0] = v;
        param->setNormalizedValue(n, group, value);
    };
    bool isBandwidthChosen = false;
    if (record->paramX != nullptr) {
        collect(record->paramX);
        writeNormalized(record->paramX, displayToValue(false, index, x));
    }
    if (record->paramY != nullptr) {
        collect(record->paramY);
        writeNormalized(record->paramY, displayToValue(true, index, y));
    }
    if (record->paramBw != nullptr) {
        collect(record->paramBw);
        if (mIsSnapAddBand && !isTemporary) {
            writePlain(record->paramBw, snapBandwidth(index, x, 2.5));
            isBandwidthChosen = true;
        } else if (isTemporary && mTempBandwidth >= 0.0) {
            writePlain(record->paramBw, mTempBandwidth);
            isBandwidthChosen = true;
        } else {
            writeNormalized(record->paramBw, record->paramBw->getDefaultNormalized(n, 0));
        }
    }
    for (CUIParam* param : {record->paramDyn}) {
        if (param != nullptr) {
            collect(param);
            writeNormalized(param, param->getDefaultNormalized(n, 0));
        }
    }
    if (record->paramFilterMode != nullptr) {
        collect(record->paramFilterMode);
        if (isTemporary && mTempFilterMode != -1)
            writePlain(record->paramFilterMode, mTempFilterMode);
        else if (record->paramX == nullptr)
            writeNormalized(record->paramFilterMode, record->paramFilterMode->getDefaultNormalized(n, 0));
        else
            writePlain(record->paramFilterMode, getAutoBandType(index, x));
    }
    if (record->paramPrevFilterMode != nullptr) {
        collect(record->paramPrevFilterMode);
        writeNormalized(record->paramPrevFilterMode, record->paramPrevFilterMode->getDefaultNormalized(n, 0));
    }
    collect(record->paramCount);
    {
        CUIParamValue count;
        record->paramCount->getPlainValue(count, 0, group);
        count[0] += 1.0;
        record->paramCount->setPlainValue(0, group, count);
    }
    if (!isTemporary)
        mUndoCollector.commit(CString("Control point add"));
    if (!isBandwidthChosen && !isTemporary && record->paramBw != nullptr)
        record->paramBw->resetValue(n, false, false, -1, -1);
    if (record->paramDyn != nullptr)
        record->paramDyn->resetValue(n, false, false, -1, -1);
    refreshLayer(index);
    if (record->paramSel != nullptr) {
        CUIParamValue sel;
        sel[0] = n + 1;
        record->paramSel->setPlainValue(0, -1, sel);
    }
    if (CError* error = updatePointDisplay())
        return traceError(error, getFullName());
    mLastAddedPoint = {index, n};
    return nullptr;
}

CError* CControlSurfaceBase::removePoint(const CControlPointRef& ref, bool isTemporary, std::int32_t group,
                                         bool commitUndo, const std::vector<std::int32_t>* groups) {
    CLayerRecord* record = layer(ref.layer);
    if (record == nullptr)
        return nullptr;
    const std::vector<std::int32_t> single = {group};
    const std::vector<std::int32_t>& targets = groups != nullptr ? *groups : single;
    mDraggedPoints.clear();
    mHoverPoint = {};
    mAreReadoutsDirty = true;
    invalidate();
    if (mSelection != nullptr)
        mSelection->clear(false);
    if (mIsSimpleXyParamMode || record->paramCount == nullptr || ref.point < 0)
        return nullptr;
    std::vector<std::int32_t> counts;
    for (std::int32_t g : targets) {
        CUIParamValue value;
        record->paramCount->getPlainValue(value, 0, g);
        counts.push_back(roundHalfAway(value[0]));
    }
    for (CUIParam* param : {record->paramXy, record->paramX, record->paramY, record->paramBw, record->paramDyn,
                            record->paramFilterMode, record->paramPrevFilterMode, record->paramCount}) {
        if (param == nullptr)
            continue;
        if (!isTemporary)
            mUndoCollector.addParam(param);
        for (std::size_t k = 0; k < targets.size(); ++k) {
            const std::int32_t count = counts[k];
            // A group without band ref.point has nothing to remove (and no element -1 to read).
            if (count <= 0 || count <= ref.point)
                continue;
            if (param == record->paramCount) {
                CUIParamValue value;
                value[0] = std::max(0, count - 1);
                param->setPlainValue(0, targets[k], value);
            } else {
                CUIParamValue last;
                param->getNormalizedValue(last, count - 1, targets[k]);
                param->setNormalizedValue(ref.point, targets[k], last);
            }
        }
    }
    if (commitUndo && !isTemporary)
        mUndoCollector.commit(CString("Control point remove"));
    refreshLayer(ref.layer);
    return nullptr;
}

void CControlSurfaceBase::markPointChanged(const CControlPointRef& ref) {
    if (std::find(mResendLayers.begin(), mResendLayers.end(), ref.layer) != mResendLayers.end())
        return;
    auto found = std::find_if(mResendPoints.begin(), mResendPoints.end(),
                              [&](const auto& entry) { return entry.first == ref.layer; });
    if (found == mResendPoints.end()) {
        mResendPoints.push_back({ref.layer, {}});
        found = mResendPoints.end() - 1;
    }
    if (std::find(found->second.begin(), found->second.end(), ref.point) == found->second.end())
        found->second.push_back(ref.point);
}

void CControlSurfaceBase::markLayerChanged(std::int32_t index) {
    std::erase_if(mResendPoints, [&](const auto& entry) { return entry.first == index; });
    if (std::find(mResendLayers.begin(), mResendLayers.end(), index) == mResendLayers.end())
        mResendLayers.push_back(index);
}

void CControlSurfaceBase::queueMove(const CControlPointRef& ref, double dx, double dy, bool moveX, bool moveY) {
    for (CQueuedMove& move : mQueuedMoves) {
        if (move.point == ref) {
            move.dx += dx;
            move.dy += dy;
            return;
        }
    }
    mQueuedMoves.push_back({dx, dy, moveX, moveY, ref});
}

CError* CControlSurfaceBase::flushPointChanges() {
    // The values to send, per parameter and band.
    std::vector<std::pair<CUIParam*, std::vector<std::pair<std::int32_t, CUIParamValue>>>> pending;
    auto put = [&](CUIParam* param, std::int32_t point, const CUIParamValue& value) {
        auto entry = std::find_if(pending.begin(), pending.end(), [&](const auto& e) { return e.first == param; });
        if (entry == pending.end()) {
            pending.push_back({param, {}});
            entry = pending.end() - 1;
        }
        for (auto& [p, v] : entry->second)
            if (p == point) {
                v = value;
                return;
            }
        entry->second.push_back({point, value});
    };
    auto current = [](CUIParam* param, std::int32_t point) {
        CUIParamValue value;
        param->getNormalizedValue(value, point, -1);
        return value;
    };
    for (const CQueuedMove& move : mQueuedMoves) {
        CLayerRecord* record = layer(move.point.layer);
        if (record == nullptr || move.point.point < 0 || move.point.point >= record->pointCount)
            continue;
        const std::int32_t i = move.point.point;
        if ((move.moveX || move.moveY) && record->paramXy != nullptr) {
            CUIParamValue value = current(record->paramXy, i);
            value[0] = std::clamp(value[0] + move.dx, 0.0, 1.0);
            value[1] = std::clamp(value[1] + move.dy, 0.0, 1.0);
            put(record->paramXy, i, value);
        }
        if (move.moveX && record->paramX != nullptr) {
            CUIParamValue value = current(record->paramX, i);
            value[0] = std::clamp(value[0] + move.dx, 0.0, 1.0);
            put(record->paramX, i, value);
        }
        if (move.moveY && record->paramY != nullptr) {
            CUIParamValue value = current(record->paramY, i);
            value[0] = std::clamp(value[0] + move.dy, 0.0, 1.0);
            put(record->paramY, i, value);
        }
    }
    mQueuedMoves.clear();
    auto collectPoint = [&](std::int32_t index, std::int32_t i) {
        CLayerRecord* record = layer(index);
        if (record == nullptr || i < 0 || i >= record->pointCount)
            return;
        const CControlPoint* p = record->pointRecord(i);
        CUIParamValue xy;
        xy[0] = displayToValue(false, index, p->rawX);
        xy[1] = displayToValue(true, index, p->rawY);
        CUIParamValue single;
        if (record->paramXy != nullptr)
            put(record->paramXy, i, xy);
        single[0] = xy[0];
        if (record->paramX != nullptr)
            put(record->paramX, i, single);
        single[0] = xy[1];
        if (record->paramY != nullptr)
            put(record->paramY, i, single);
        single[0] = p->bandwidth;
        if (record->paramBw != nullptr)
            put(record->paramBw, i, single);
        single[0] = p->dyn;
        if (record->paramDyn != nullptr)
            put(record->paramDyn, i, single);
    };
    for (std::int32_t index : mResendLayers)
        if (const CLayerRecord* record = layer(index))
            for (std::int32_t i = 0; i < record->pointCount; ++i)
                collectPoint(index, i);
    for (const auto& [index, points] : mResendPoints)
        for (std::int32_t i : points)
            collectPoint(index, i);
    mResendLayers.clear();
    mResendPoints.clear();
    for (auto& [param, values] : pending) {
        std::sort(values.begin(), values.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::size_t start = 0;
        while (start < values.size()) {
            std::size_t end = start + 1;
            while (end < values.size() && values[end].first == values[end - 1].first + 1)
                ++end;
            std::vector<CUIParamValue> run;
            for (std::size_t k = start; k < end; ++k)
                run.push_back(values[k].second);
            mUndoCollector.addParam(param);
            param->setNormalizedValues(values[start].first, static_cast<std::int32_t>(run.size()), run.data(), false, -1);
            start = end;
        }
    }
    return nullptr;
}

void CControlSurfaceBase::holdNotifications() {
    for (const auto& record : mLayers) {
        if (!record->isEditable)
            continue;
        for (CUIParam* param : record->valueParams())
            if (param != nullptr)
                param->holdNotifications();
    }
}

CError* CControlSurfaceBase::releaseHeldNotifications() {
    for (const auto& record : mLayers) {
        if (!record->isEditable)
            continue;
        for (CUIParam* param : record->valueParams())
            if (param != nullptr)
                if (CError* error = param->flushPendingChanges())
                    return traceError(error, getFullName());
    }
    return nullptr;
}

void CControlSurfaceBase::resetLayerPoint(CLayerRecord& record, std::int32_t p, std::int32_t undoId) {
    const bool isAll = p == -1;
    auto reset = [&](CUIParam* param, std::int32_t element) {
        if (param == nullptr)
            return;
        const std::int32_t count = element == -1 ? param->getElementCount(-1) : 1;
        for (std::int32_t i = 0; i < count; ++i)
            param->resetValue(element == -1 ? i : element, undoId == -1, false, -1, undoId);
    };
    if (isAll)
        reset(record.paramFreeformDrawing, 0);
    for (CUIParam* param : record.valueParams())
        reset(param, p);
    if (isAll)
        reset(record.paramCount, 0);
}

std::int32_t CControlSurfaceBase::getLayerGroup(std::int32_t index) {
    const CLayerRecord* record = layer(index);
    if (record == nullptr)
        return -1;
    for (CUIParam* param : {record->paramX, record->paramY, record->paramXy})
        if (param != nullptr)
            return param->currentGroup();
    return -1;
}

// --- adding bands ---

CUIParam* CControlSurfaceBase::positionParam(const CLayerRecord& record) const noexcept {
    return mIsSimpleXyParamMode ? record.paramXy : record.paramX;
}

double CControlSurfaceBase::plainAt(std::int32_t index, const CLayerRecord& record, double x) {
    CUIParam* param = positionParam(record);
    return param->toDisplay(0, displayToValue(false, index, x));
}

double CControlSurfaceBase::snapBandwidth(std::int32_t index, double x, double defaultBandwidth) {
    CLayerRecord* record = layer(index);
    if (record == nullptr || record->paramX == nullptr)
        return defaultBandwidth;
    const double fNew = record->paramX->toDisplay(0, displayToValue(false, index, x));
    if (fNew < 1.0)
        return defaultBandwidth;
    const CControlPoint* nearest = nullptr;
    double best = 0.0;
    for (std::int32_t i = 0; i < record->pointCount; ++i) {
        const CControlPoint* p = record->pointRecord(i);
        if (p->bandType == 0)
            continue;
        const double distance = std::fabs(x - p->x);
        if (nearest == nullptr || distance < best) {
            nearest = p;
            best = distance;
        }
    }
    if (nearest == nullptr)
        return defaultBandwidth;
    const double fNear = record->paramX->toDisplay(0, displayToValue(false, index, nearest->x));
    if (fNear < 1.0)
        return defaultBandwidth;
    return std::clamp(std::fabs(std::log(fNear / fNew)) / std::log(2.0), 0.25, 2.5);
}

std::int32_t CControlSurfaceBase::getAutoBandType(std::int32_t index, double x) {
    CLayerRecord* record = layer(index);
    if (record == nullptr || positionParam(*record) == nullptr)
        return 0;
    return autoTypeForFrequency(plainAt(index, *record, x));
}

std::int32_t CControlSurfaceBase::autoTypeForFrequency(double frequency) const noexcept {
    const std::int32_t f = roundHalfAway(frequency);
    for (const CAddBandAutoType& entry : mAddBandAutoTypes)
        if (entry.lowHz <= f && f <= entry.highHz)
            return entry.type;
    return 0;
}

void CControlSurfaceBase::parseAddBandAutoTypes(const CString& text, std::vector<CAddBandAutoType>& out) {
    CStringList pieces;
    text.split(pieces, ',', true, true);
    // A piece that is not a number reads 0.
    auto number = [&](int i) { return parseInt(pieces[i].trim(), 0); };
    for (int i = 2; i < pieces.count(); i += 3)
        out.push_back({number(i), number(i - 2), number(i - 1)});
}

} // namespace tal
