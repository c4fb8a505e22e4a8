#include "UI/Controls/CControlSurfaceSweep.h"

#include "Core/CError.h"
#include "Core/NumberText.h"
#include "UI/CGraph.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CValueList.h"
#include "UI/Controls/CControlSurfaceBase.h"

#include <algorithm>

namespace tal {

CError* CControlSurfaceSweep::init(CControlSurfaceBase* surface) {
    mOwner = surface;
    mTempFilterMode = surface->getIntAttr("temp-point-filter-mode");
    if (mTempFilterMode != -1)
        mGroupList.init(surface, CString(), CString(), surface, CString("temp-point-audio-groups"));
    const std::int32_t found = surface->findLayerByName(surface->getTextAttr("temp-point-layer-name"));
    if (found >= 0)
        mTempLayer = found;
    return nullptr;
}

void CControlSurfaceSweep::collectGroups() {
    mGroups.clear();
    CValueList* list = mGroupList.owner != nullptr ? mGroupList.resolve() : nullptr;
    if (list == nullptr)
        return;
    auto addGroup = [&](std::int32_t g) {
        if (std::find(mGroups.begin(), mGroups.end(), g) == mGroups.end())
            mGroups.push_back(g);
    };
    for (int i = 0; i < list->itemCount(); ++i) {
        const CString& text = list->itemText(i);
        const int semicolon = text.findLast(CString(";"));
        if (semicolon < 0)
            continue;
        addGroup(parseInt(CString(text, semicolon + 1, -1), 0) - 1);
    }
    const CLayerRecord* record = mOwner->currentLayerRecord();
    if (record != nullptr && record->paramCount != nullptr)
        addGroup(record->paramCount->currentGroup());
}

CError* CControlSurfaceSweep::setGraphFlags(std::int32_t value) {
    auto* graph = dynamic_cast<CGraph*>(mOwner->mGraph.owner != nullptr ? mOwner->mGraph.resolve() : nullptr);
    if (graph == nullptr)
        return nullptr;
    if (CError* error = graph->setIntAttr(CString("is-sum-ignores-current-graph"), value, true))
        return traceError(error, mOwner->getFullName());
    if (mOwner->mIsSimpleXyParamMode)
        return traceError(graph->setIntAttr(CString("is-sweep-mode"), value, true), mOwner->getFullName());
    return nullptr;
}

CError* CControlSurfaceSweep::findLabels(CObject*& labelX, CObject*& labelY) {
    if (CError* error = mOwner->findObjectByAttr(labelX, CString("label-units-x"), true))
        return error;
    return mOwner->findObjectByAttr(labelY, CString("label-units-y"), true);
}

CError* CControlSurfaceSweep::start(double x, double y) {
    CControlSurfaceBase& s = *mOwner;
    if (s.mIsSimpleXyParamMode) {
        mSavedLayer = s.mCurrentLayer;
        s.mCurrentLayer = mTempLayer;
    }
    mAddedPoints.clear();
    mSweepPoint = {};
    collectGroups();
    const std::int32_t current = s.getLayerGroup(s.mCurrentLayer);
    s.mTempFilterMode = mTempFilterMode;
    s.mTempBandwidth = mLastBandwidth;
    auto add = [&](std::int32_t group) -> CError* {
        if (CError* error = s.addPoint(s.mCurrentLayer, true, group, x, y))
            return error;
        // A full group gets no band (and loses none at the release).
        if (!s.lastAddedPoint().isNone())
            mAddedPoints[group] = s.lastAddedPoint();
        return nullptr;
    };
    mIsStarted = true;
    for (std::int32_t group : mGroups)
        if (group != current)
            if (CError* error = add(group))
                return traceError(error, s.getFullName());
    if (std::find(mGroups.begin(), mGroups.end(), current) != mGroups.end()) {
        if (CError* error = add(current))
            return traceError(error, s.getFullName());
        if (!s.lastAddedPoint().isNone()) {
            mSweepPoint = s.lastAddedPoint();
            if (s.mSelection != nullptr) {
                s.mSelection->clear(true);
                s.mSelection->addPoint(mSweepPoint, true);
            }
        }
    }
    s.mTempFilterMode = -1;
    s.mTempBandwidth = -1.0;
    s.mSweepPoint = mSweepPoint;
    s.mIsSweepRunning = true;
    CObject* labelX = nullptr;
    CObject* labelY = nullptr;
    if (CError* error = findLabels(labelX, labelY))
        return traceError(error, s.getFullName());
    mSavedTitleX = labelX->getTextAttr("title");
    mSavedTitleY = labelY->getTextAttr("title");
    if (CError* error = labelX->setAttr(CString("title"), CString("Hz"), true))
        return traceError(error, s.getFullName());
    if (CError* error = labelY->setAttr(CString("title"), CString("dB"), true))
        return traceError(error, s.getFullName());
    return traceError(setGraphFlags(1), s.getFullName());
}

CError* CControlSurfaceSweep::stop() {
    CControlSurfaceBase& s = *mOwner;
    // The groups holding each temporary point, so one removal serves them all.
    std::vector<std::pair<CControlPointRef, std::vector<std::int32_t>>> removals;
    for (const auto& [group, ref] : mAddedPoints) {
        const CLayerRecord* record = s.layer(ref.layer);
        if (record == nullptr)
            continue;
        if (ref == mSweepPoint && record->paramBw != nullptr) {
            CUIParamValue bw;
            record->paramBw->getPlainValue(bw, ref.point, -1);
            mLastBandwidth = bw[0];
        }
        auto found = std::find_if(removals.begin(), removals.end(), [&](const auto& r) { return r.first == ref; });
        if (found == removals.end())
            removals.push_back({ref, {group}});
        else
            found->second.push_back(group);
    }
    for (const auto& [ref, groups] : removals)
        if (CError* error = s.removePoint(ref, true, -1, false, &groups))
            return traceError(error, s.getFullName());
    mAddedPoints.clear();
    mSweepPoint = {};
    s.mSweepPoint = {};
    s.mIsSweepRunning = false;
    if (!mIsStarted)
        return nullptr;
    mIsStarted = false;
    CObject* labelX = nullptr;
    CObject* labelY = nullptr;
    if (CError* error = findLabels(labelX, labelY))
        return traceError(error, s.getFullName());
    if (CError* error = labelX->setAttr(CString("title"), mSavedTitleX, true))
        return traceError(error, s.getFullName());
    if (CError* error = labelY->setAttr(CString("title"), mSavedTitleY, true))
        return traceError(error, s.getFullName());
    if (s.mIsSimpleXyParamMode && mSavedLayer >= 0) {
        s.mCurrentLayer = mSavedLayer;
        mSavedLayer = -1;
    }
    return traceError(setGraphFlags(0), s.getFullName());
}

} // namespace tal
