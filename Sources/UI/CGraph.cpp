#include "UI/CGraph.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "UI/CControlSurfaceExtern.h"
#include "UI/CDynamicPalette.h"
#include "UI/CFilterResponse.h"
#include "UI/CMinMax.h"
#include "UI/CParamGroupSource.h"
#include "UI/CSector.h"
#include "UI/CSectorMap.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

constexpr double kEpsilon = 2.2204461e-16;

bool contains(const std::vector<std::int32_t>& list, std::int32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool isZero(double v) noexcept { return std::fabs(v) <= std::fabs(v) * kEpsilon; }

} // namespace

CObject* CGraph::create() { return new CGraph(); }

void CGraph::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addAttrOf<CGraph, &CGraph::attrCurrentAltFilter>(scheme, "current-alt-filter");
    addAttrOf<CGraph, &CGraph::attrCurrentAltGroup>(scheme, "current-alt-group");
    addAttrOf<CGraph, &CGraph::attrCurrentGraph>(scheme, "current-graph");
    addAttrOf<CGraph, &CGraph::attrIsGluedMode>(scheme, "is-glued-mode");
    addAttrOf<CGraph, &CGraph::attrIsShowAllGraphs>(scheme, "is-show-all-graphs");
    addAttrOf<CGraph, &CGraph::attrIsSumIgnoresCurrentGraph>(scheme, "is-sum-ignores-current-graph");
    addAttrOf<CGraph, &CGraph::attrSummaryAltGroup>(scheme, "summary-alt-group");
    addAttrOf<CGraph, &CGraph::attrIsSweepMode>(scheme, "is-sweep-mode");
    addArgsEventOf<CGraph, &CGraph::onBandModeChanged>(scheme, "band-mode-changed");
    addPlainEventOf<CGraph, &CGraph::onColorizedBandsEnableChanged>(scheme, "colorized-bands-enable-changed");
    addPlainEventOf<CGraph, &CGraph::onFadeTimer>(scheme, "fade-timer");
    addPlainEventOf<CGraph, &CGraph::onFilterResponseChange>(scheme, "filter-response-change");
    addPlainEventOf<CGraph, &CGraph::onGroupChange>(scheme, "group-change");
    addPlainEventOf<CGraph, &CGraph::onMinMaxFreqUpdate>(scheme, "min-max-freq-update");
    addPlainEventOf<CGraph, &CGraph::onMinMaxGainUpdate>(scheme, "min-max-gain-update");
}

CGraph::CGraph() = default;

CGraph::~CGraph() {
    mControlSurface.reset();
    mFadeTimer.reset();
    mFrequencyRange.reset();
    mGainRange.reset();
    mGroupSelector.reset();
    mResponse.reset();
    mAltCurrentResponse.reset();
    mAltSummaryResponse.reset();
}

// --- life cycle ---

CError* CGraph::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mControlSurface.init(this, CString(), CString(), this, CString("control-surface"));
    mControlSurface.listenEvent(CString("band-mode-changed"), CString("band-mode-changed"));
    mControlSurface.listenEvent(CString("colorized-bands-enable-changed"), CString("colorized-bands-enable-changed"));
    mBrushSizeCurrent = getDoubleAttr("brush-size-current");
    mBrushSizeSummary = getDoubleAttr("brush-size-summary");
    mBrushSizeWeighted = getDoubleAttr("brush-size-weighted");
    mColorizedOpacity = getDoubleAttr("colorized-bands-opacity");
    mColorizedDamping = getDoubleAttr("colorized-bands-opacity-damping");
    const CString modifier = getTextAttr("colorized-bands-color-modifier");
    const CView* root = rootView() != nullptr ? rootView() : this;
    CDynamicPalette* palette = root->colorTable() != nullptr ? root->colorTable()->palette() : nullptr;
    mColorModifier = palette != nullptr && !modifier.isEmpty() ? palette->getColor(modifier, 0.0) : nullptr;
    mFadeStartTime = mGroupChangeTime = getTime();
    mFadeTime = getDoubleAttr("fade-time");
    mIsUseWeights = getBoolAttr("is-use-weights");
    CParamGroupSource* selector = nullptr;
    if (CError* error = findObjectByAttr(selector, CString("group-selector"), true))
        return traceError(error, getFullName());
    mGroupSelector.init(this, CString(), CString(), this, CString("group-selector"));
    mGroupSelector.isRequired = true;
    mGroupSelector.listenEvent(CString("group-change"), CString("group-change"));
    mResponse.init(this, CString(), CString(), this, CString("filter-response"));
    mResponse.isRequired = true;
    mAltCurrentResponse.init(this, CString(), CString(), this, CString("filter-response-alt-current"));
    mAltSummaryResponse.init(this, CString(), CString(), this, CString("filter-response-alt-summary"));
    mIsEmptyResponseShown = getBoolAttr("is-empty-filter-response-shown");
    const CString slots[] = {getTextAttr("current-color"), getTextAttr("current-alt-color"),
                             getTextAttr("summary-color"), getTextAttr("summary-alt-color"),
                             getTextAttr("weighted-color"), getTextAttr("line-color")};
    for (int i = 0; i < 6; ++i)
        colorTable()->setSlotName(i, slots[i]);
    return nullptr;
}

CError* CGraph::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    mFadeTimer.init(this, CString(), CString(), this, CString("fade-timer"));
    mFadeTimer.isRequired = true;
    mFadeTimer.listenEvent(CString("tick"), CString("fade-timer"));
    mFrequencyRange.init(this, CString(), CString(), this, CString("min-max-freq"));
    mFrequencyRange.isRequired = true;
    mFrequencyRange.listenEvent(CString("min-max-update"), CString("min-max-freq-update"));
    mGainRange.init(this, CString(), CString(), this, CString("min-max-gain"));
    mGainRange.isRequired = true;
    mGainRange.listenEvent(CString("min-max-update"), CString("min-max-gain-update"));
    for (CTarget<CFilterResponse>* response : {&mResponse, &mAltCurrentResponse, &mAltSummaryResponse})
        response->listenEvent(CString("update"), CString("filter-response-change"));
    return nullptr;
}

CError* CGraph::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    mIsRangeDirty = true;
    return nullptr;
}

CFilterResponse* CGraph::alternateCurrent() {
    return getTextAttr("filter-response-alt-current").isEmpty() ? nullptr : mAltCurrentResponse.resolve();
}

CFilterResponse* CGraph::alternateSummary() {
    return getTextAttr("filter-response-alt-summary").isEmpty() ? nullptr : mAltSummaryResponse.resolve();
}

double CGraph::windowScale() const { return area() != nullptr ? area()->windowScale() : 1.0; }

// --- handlers ---

void CGraph::markCurvesDirty() {
    mIsCurvesDirty = true;
    invalidate();
}

CError* CGraph::attrCurrentAltFilter() {
    const std::int32_t v = getIntAttr("current-alt-filter");
    if (v != mCurrentAltFilter) {
        mCurrentAltFilter = v;
        markCurvesDirty();
    }
    return nullptr;
}

CError* CGraph::attrCurrentAltGroup() {
    const std::int32_t v = getIntAttr("current-alt-group");
    if (v != mCurrentAltGroup) {
        mCurrentAltGroup = v;
        markCurvesDirty();
    }
    return nullptr;
}

CError* CGraph::attrSummaryAltGroup() {
    const std::int32_t v = getIntAttr("summary-alt-group");
    if (v != mSummaryAltGroup) {
        mSummaryAltGroup = v;
        markCurvesDirty();
    }
    return nullptr;
}

CError* CGraph::attrIsGluedMode() {
    const bool v = getBoolAttr("is-glued-mode");
    if (v != mIsGluedMode) {
        mIsGluedMode = v;
        markCurvesDirty();
    }
    return nullptr;
}

CError* CGraph::attrIsShowAllGraphs() {
    const bool v = getBoolAttr("is-show-all-graphs");
    if (v != mIsShowAllGraphs) {
        mIsShowAllGraphs = v;
        markCurvesDirty();
    }
    return nullptr;
}

CError* CGraph::attrIsSumIgnoresCurrentGraph() {
    const bool v = getBoolAttr("is-sum-ignores-current-graph");
    if (v != mIsSumIgnoresCurrentGraph) {
        mIsSumIgnoresCurrentGraph = v;
        mIsSummaryDirty = true;
        markCurvesDirty();
    }
    return nullptr;
}

CError* CGraph::attrIsSweepMode() {
    const bool v = getBoolAttr("is-sweep-mode");
    if (v != mIsSweepMode) {
        mIsSweepMode = v;
        setCurrentGraph(getIntAttr("current-graph"));
        markCurvesDirty();
    }
    return nullptr;
}

CError* CGraph::attrCurrentGraph() {
    setCurrentGraph(getIntAttr("current-graph"));
    if (mIsSumIgnoresCurrentGraph) {
        mIsSummaryDirty = true;
        markCurvesDirty();
    }
    return nullptr;
}

CError* CGraph::onBandModeChanged(CAttrMap& args) {
    CAttrValue* value = args.findValue("index");
    const std::int32_t index = value != nullptr ? parseInt(value->asText(), 0) : 0;
    if (index < 0)
        return nullptr;
    if (CFilterResponse* response = mResponse.resolve())
        response->expireLevel(index, getTime());
    return nullptr;
}

CError* CGraph::onColorizedBandsEnableChanged() {
    setCurrentGraph(getIntAttr("current-graph"));
    return nullptr;
}

CError* CGraph::onFilterResponseChange() {
    markCurvesDirty();
    return nullptr;
}

CError* CGraph::onMinMaxGainUpdate() {
    markCurvesDirty();
    return nullptr;
}

CError* CGraph::onMinMaxFreqUpdate() {
    mIsRangeDirty = true;
    invalidate();
    return nullptr;
}

CError* CGraph::onGroupChange() {
    mCurrentGraph = -1;
    mActiveBands.clear();
    mPreviousCurrentGraph = -1;
    mPreviousActiveBands.clear();
    mGroupChangeTime = getTime();
    setCurrentGraph(getIntAttr("current-graph"));
    return nullptr;
}

CError* CGraph::onFadeTimer() {
    if (!mIsFading)
        return nullptr;
    const double elapsed = getTime() - mFadeStartTime;
    mFadeProgress = isZero(mFadeTime) ? 1.0 : std::clamp(elapsed / mFadeTime, 0.0, 1.0);
    invalidate();
    if (mFadeTime < elapsed) {
        mFadeProgress = 1.0;
        mIsFading = false;
        mPreviousCurrentGraph = -1;
        mPreviousActiveBands.clear();
    }
    return nullptr;
}

void CGraph::setCurrentGraph(std::int32_t band) {
    if (mIsSweepMode)
        if (CFilterResponse* response = mResponse.resolve())
            band = response->getFilterCount() - 1;
    if (band != mCurrentGraph) {
        mPreviousCurrentGraph = mCurrentGraph;
        mCurrentGraph = band;
    }
    CControlSurfaceExtern* surface = mControlSurface.owner != nullptr ? mControlSurface.resolve() : nullptr;
    if (surface != nullptr && surface->isColorizedBandsEnabled()) {
        if (!surface->updateActiveBands(mCurrentGraph, mActiveBands, mPreviousActiveBands))
            return;
    } else {
        if (mActiveBands.size() == 1 && mActiveBands[0] == mCurrentGraph)
            return;
        mPreviousActiveBands = mActiveBands;
        mActiveBands.assign(1, mCurrentGraph);
    }
    markCurvesDirty();
    mFadeStartTime = getTime();
    if (mFadeStartTime - mGroupChangeTime < 0.1) {
        mFadeProgress = 1.0;
        mIsFading = false;
    } else {
        mFadeProgress = 0.0;
        mIsFading = true;
    }
}

// --- curves ---

void CGraph::updateFrequencyRange() {
    if (area() == nullptr)
        return;
    const CAreaRect& total = area()->totalRect();
    const CAreaRect& clip = area()->clipRect();
    if (total.width < 1e-5 || total.height < 1e-5)
        return;
    mClipOrigin[0] = clip.x;
    mClipOrigin[1] = clip.y;
    CMinMax* range = mFrequencyRange.resolve();
    if (range == nullptr)
        return;
    const double left = (clip.x - total.x) / total.width;
    const double right = left + clip.width / total.width;
    auto valueAt = [range](double p) {
        if (range->isLog() && !(range->min() > 0.0 && range->max() > 0.0))
            return range->min();
        return range->fromNormalClamped(p);
    };
    const double fLo = valueAt(left), fHi = valueAt(right);
    if (!(fLo > 0.0 && fLo < fHi))
        return;
    const std::int32_t n = std::int32_t(std::round(clip.width));
    for (CFilterResponse* response : {mResponse.resolve(), alternateCurrent(), alternateSummary()})
        if (response != nullptr)
            response->setRange(n, fLo, fHi);
    mIsCurvesDirty = true;
}

CGraph::CGraphCurve& CGraph::addCurve(std::int32_t key) {
    mCurves.push_back(std::make_unique<CGraphCurve>());
    mCurves.back()->key = key;
    return *mCurves.back();
}

void CGraph::buildCurve(CFilterResponse& response, std::int32_t band, bool isSummary, bool isWeighted,
                        std::int32_t key, bool isMain) {
    CMinMax* gains = mGainRange.resolve();
    if (gains == nullptr || area() == nullptr)
        return;
    const double gmin = gains->min(), gmax = gains->max(), span = gmax - gmin;
    if (std::fabs(span) <= (std::fabs(gmin) + std::fabs(gmax)) * kEpsilon)
        return;
    const CAreaRect& total = area()->totalRect();
    const double cX = mClipOrigin[0], Y = total.y, H = total.height, W = total.width;
    const std::vector<double>* data = nullptr;
    const std::vector<double>* reference = nullptr;
    CGraphCurve* curve = nullptr;
    if (isSummary) {
        data = response.getSumCurve(mIsSumIgnoresCurrentGraph);
        curve = &addCurve(key);
        curve->brushSize = mBrushSizeSummary;
        curve->isSummary = true;
        curve->kind = isMain ? 2 : 3;
        curve->isAlternate = !isMain;
    } else {
        if (isMain && !mIsShowAllGraphs && !contains(mActiveBands, band) && !contains(mPreviousActiveBands, band))
            return;
        if (isMain && isWeighted && !mIsShowAllGraphs && !contains(mActiveBands, band) && !mIsFading)
            return;
        if (isWeighted) {
            data = response.getLevelCurve(band);
            curve = &addCurve(key);
            curve->kind = 4;
            curve->brushSize = mBrushSizeWeighted;
        } else {
            data = response.getFilterCurve(band);
            reference = mIsGluedMode ? response.getSumCurve(false) : nullptr;
            curve = &addCurve(key);
            curve->brushSize = mBrushSizeCurrent;
            curve->kind = isMain ? 0 : 1;
            curve->isCurrent = isMain && mCurrentGraph == band;
            curve->isAlternate = !isMain;
        }
        if (isMain) {
            const bool inPrevious = contains(mPreviousActiveBands, band);
            const bool inActive = isWeighted ? mCurrentGraph == band : contains(mActiveBands, band);
            const double base = !isWeighted && mIsShowAllGraphs ? 0.5 : 0.0;
            curve->weightFrom = inPrevious ? 1.0 : base;
            curve->weightTo = inActive ? 1.0 : base;
            curve->isHighlighted = key >= 0 && (inActive || inPrevious);
        }
    }
    if (data == nullptr || data->size() < 2) {
        if (mIsEmptyResponseShown) {
            curve->points = {cX, Y + H / 2.0, cX + W, Y + H / 2.0};
            curve->isPerColumn = false;
            curve->isFlat = false;
        } else {
            curve->isFlat = true;
        }
        return;
    }
    const std::size_t n = data->size();
    const std::size_t common = reference != nullptr ? std::min(n, reference->size()) : 0;
    curve->points.resize(2 * n);
    bool isFlat = true;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = (*data)[i];
        isFlat = isFlat && isZero(v);
        const double u = i < common ? (*reference)[i] - v : v;
        curve->points[2 * i] = cX + double(i);
        curve->points[2 * i + 1] = Y + H * (1.0 - (u - gmin) / span);
    }
    curve->referencePoints.resize(2 * common);
    for (std::size_t i = 0; i < common; ++i) {
        curve->referencePoints[2 * i] = cX + double(i);
        curve->referencePoints[2 * i + 1] = Y + H * (1.0 - ((*reference)[i] - gmin) / span);
    }
    curve->isFlat = !isSummary && isFlat;
    curve->isPerColumn = true;
}

CError* CGraph::rebuildCurves() {
    CControlSurfaceExtern* surface = mControlSurface.owner != nullptr ? mControlSurface.resolve() : nullptr;
    mCurves.clear();
    CFilterResponse* main = mResponse.resolve();
    CFilterResponse* altCurrent = alternateCurrent();
    CFilterResponse* altSummary = alternateSummary();
    if (mIsSummaryDirty) {
        mIsSummaryDirty = false;
        for (CFilterResponse* response : {main, altCurrent, altSummary})
            if (response != nullptr)
                response->invalidateSum();
    }
    if (altCurrent != nullptr && mCurrentAltGroup >= 0 && mCurrentAltFilter >= 0)
        buildCurve(*altCurrent, mCurrentAltFilter, false, false, -1, false);
    if (altSummary != nullptr && mSummaryAltGroup >= 0)
        buildCurve(*altSummary, -1, true, false, -1, false);
    if (main == nullptr)
        return nullptr;
    if (mIsUseWeights) {
        buildCurve(*main, -1, true, false, -1, true);
        if (mCurrentGraph >= 0)
            buildCurve(*main, mCurrentGraph, false, true, -1, true);
        if (mPreviousCurrentGraph >= 0 && mPreviousCurrentGraph != mCurrentGraph)
            buildCurve(*main, mPreviousCurrentGraph, false, true, -1, true);
    }
    for (std::int32_t i = 0; i < main->getFilterCount(); ++i)
        buildCurve(*main, i, false, false, i, true);
    buildCurve(*main, -1, true, false, -1, true);
    if (surface != nullptr)
        if (CError* error = surface->updateHover())
            return traceError(error, getFullName());
    return nullptr;
}

// --- drawing ---

bool CGraph::prepareDraw() {
    if (mIsRangeDirty) {
        mIsRangeDirty = false;
        updateFrequencyRange();
    }
    if (mIsCurvesDirty) {
        mIsCurvesDirty = false;
        if (CError* error = rebuildCurves()) {
            logError(error);
            delete error;
        }
    }
    mJobs.clear();
    bool isAnyDrawable = false;
    for (const auto& curve : mCurves)
        isAnyDrawable = isAnyDrawable || curve->pointCount() >= 2;
    if (!isAnyDrawable || area() == nullptr)
        return false;
    CControlSurfaceExtern* surface = mControlSurface.owner != nullptr ? mControlSurface.resolve() : nullptr;
    const bool isColorized = surface != nullptr && surface->isColorizedBandsEnabled();
    const std::size_t count = mCurves.size();
    mCurveBrushes.assign(count, nullptr);
    mCurveColors.assign(count, nullptr);
    mCurveFillOpacity.assign(count, 0.0);
    if (isColorized && mBandColors.count() < int(count))
        mBandColors.resize(int(count));
    for (std::size_t j = 0; j < count; ++j) {
        const CGraphCurve& curve = *mCurves[j];
        if (isColorized && curve.key >= 0) {
            double rgb[3];
            CColor::hueToRGB(rgb, surface->getBandHue(curve.key));
            mBandColors[int(j)].update(rgb, mColorModifier, true);
            mCurveColors[j] = &mBandColors[int(j)].color();
            mCurveFillOpacity[j] = curve.isHighlighted ? mColorizedOpacity : 0.0;
        } else {
            mCurveColors[j] = colorTable()->getSlotColor(curve.kind);
        }
        mCurveBrushes[j] = CBrushCache::getBrush(windowScale() * curve.brushSize);
    }
    const CAreaRect& total = area()->totalRect();
    std::vector<double> weights(count, 0.0);
    for (std::size_t j = 0; j < count; ++j) {
        const CGraphCurve& curve = *mCurves[j];
        const double w = curve.weightFrom + (curve.weightTo - curve.weightFrom) * mFadeProgress;
        const bool takesPart = curve.pointCount() >= 2 && !isZero(w) && !(mIsShowAllGraphs && curve.isFlat);
        weights[j] = takesPart ? w : 0.0;
    }
    for (const bool isFill : {true, false})
        for (std::size_t j = 0; j < count; ++j) {
            const CGraphCurve& curve = *mCurves[j];
            if (weights[j] == 0.0 || mCurveColors[j] == nullptr || (isFill && mCurveFillOpacity[j] == 0.0))
                continue;
            CJob job;
            job.isFill = isFill;
            job.isPerColumn = curve.isPerColumn;
            job.draw.points = curve.points.data();
            job.draw.count = curve.pointCount();
            job.draw.color = mCurveColors[j];
            if (isFill) {
                job.draw.opacity = mCurveFillOpacity[j] * weights[j];
                job.draw.alphaTableMode = true;
                job.draw.areaTop = total.y;
                job.draw.areaHeight = total.height;
                job.draw.edgeFactor = 1.0;
                job.draw.peakFactor = mColorizedDamping;
                job.draw.peakPosition = mZeroLevel;
                if (mIsGluedMode && !curve.referencePoints.empty()) {
                    job.draw.lowerPoints = curve.referencePoints.data();
                    job.draw.lowerCurve = true;
                }
            } else {
                job.draw.opacity = weights[j];
                job.draw.brush = mCurveBrushes[j];
            }
            mJobs.push_back(job);
        }
    return true;
}

void CGraph::paint(CSector& sector) {
    CPixelRect clip;
    if (drawItemCount() < 2 || !drawItem(1)->intersectContext(sector, clip))
        return;
    const std::int32_t originX = -sector.windowRect.x, originY = -sector.windowRect.y;
    for (const CJob& job : mJobs) {
        if (job.isFill)
            sector.target->fillColumnArea(job.draw, originX, originY, clip);
        else if (job.isPerColumn)
            sector.target->drawColumnCurveAA(job.draw, originX, originY, clip);
        else
            sector.target->drawCurveAA(job.draw, originX, originY, clip);
    }
}

// --- queries of the curve editor ---

double CGraph::findNearestCurvePoint(const double q[2], double nearest[2], bool isCurrentOnly, double maxDistance) {
    nearest[0] = nearest[1] = 0.0;
    if (area() == nullptr || area()->clipRect().width < 1e-5 || area()->clipRect().height < 1e-5 || mCurves.empty())
        return maxDistance;
    double best = maxDistance * windowScale();
    const CAreaRect& total = area()->totalRect();
    for (const auto& curve : mCurves) {
        if (curve->isAlternate || curve->isFlat || curve->pointCount() < 2)
            continue;
        if (isCurrentOnly ? !curve->isCurrent : !curve->isSummary)
            continue;
        const double* p = curve->points.data();
        for (std::int32_t j = 0; j + 1 < curve->pointCount(); ++j) {
            const double ax = p[2 * j] - total.x, ay = p[2 * j + 1] - total.y;
            const double bx = p[2 * j + 2] - total.x, by = p[2 * j + 3] - total.y;
            const double dx = bx - ax, dy = by - ay;
            const double t = (q[0] - ax) * dx + (q[1] - ay) * dy;
            const double length2 = dx * dx + dy * dy;
            double cx = ax, cy = ay;
            if (t > 0.0 && !isZero(t)) {
                if (t < length2) {
                    cx = ax + t / length2 * dx;
                    cy = ay + t / length2 * dy;
                } else {
                    cx = bx;
                    cy = by;
                }
            }
            const double dist = std::hypot(q[0] - cx, q[1] - cy);
            if (dist < best) {
                best = dist;
                nearest[0] = cx;
                nearest[1] = cy;
            }
        }
    }
    return best;
}

double CGraph::getCurveValueAt(std::int32_t key, bool* found, double x, double defaultValue) {
    if (found != nullptr)
        *found = false;
    if (area() == nullptr || area()->clipRect().width < 1e-5 || area()->clipRect().height < 1e-5 || mCurves.empty())
        return defaultValue;
    const CGraphCurve* curve = nullptr;
    for (const auto& c : mCurves)
        if (curve == nullptr && (key == -1 ? c->isSummary : c->key == key))
            curve = c.get();
    if (curve == nullptr || curve->pointCount() == 0)
        return defaultValue;
    const std::int32_t n = curve->pointCount();
    const CAreaRect& total = area()->totalRect();
    const CAreaRect& clip = area()->clipRect();
    // Points lie one per column from the clip's left edge.
    double u = (x * total.width + total.x - clip.x) / n;
    if (u > 1.0 && std::fabs(u - 1.0) > kEpsilon * (std::fabs(u) + 1.0))
        return defaultValue;
    u = std::max(u, 0.0);
    const double s = (n - 1) * u;
    const std::int32_t i = std::min(std::int32_t(std::floor(s)), n - 1);
    const double t = s - i;
    auto yAt = [curve, n](std::int32_t k) { return curve->points[std::size_t(2 * std::clamp(k, 0, n - 1) + 1)]; };
    const double y0 = yAt(i - 1), y1 = yAt(i), y2 = yAt(i + 1), y3 = yAt(i + 2);
    const double y = y1 + t * ((y2 - y0) / 2.0 +
                               t * ((y0 - 2.5 * y1 + 2.0 * y2 - 0.5 * y3) + t * (1.5 * (y1 - y2) + 0.5 * (y3 - y0))));
    if (found != nullptr)
        *found = true;
    return (total.y - y) / total.height + 1.0;
}

} // namespace tal
