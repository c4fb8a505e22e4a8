#pragma once
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CMinMax.h"
#include "UI/Controls/CControlPoint.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CColorSwatch;
class CUIParam;

// What the curve editor keeps of one layer: its settings from the layer's attributes, its value
// ranges, the UI parameters its points are bound to and the point records themselves. Owned by the
// surface (one per layer child, in registration order, never removed while the surface lives); the
// parameters are children of the layer and are not owned. UI thread only.
struct CLayerRecord {
    CLayerRecord() = default;
    CLayerRecord(const CLayerRecord&) = delete;
    CLayerRecord& operator=(const CLayerRecord&) = delete;

    // The record of point i, after growing the records to i + 1 with copies of defaultPoint.
    // i must not be negative.
    CControlPoint* pointRecord(std::int32_t i) {
        while (static_cast<std::int32_t>(points.size()) <= i)
            points.push_back(std::make_unique<CControlPoint>(defaultPoint));
        return points[static_cast<std::size_t>(i)].get();
    }
    // The parameters that carry the points' values, in the order they are held, released and checked
    // for activity (null where unbound).
    std::array<CUIParam*, 7> valueParams() const noexcept {
        return {paramXy, paramX, paramY, paramBw, paramDyn, paramFilterMode, paramPrevFilterMode};
    }
    // Whether the layer's points can be hovered, pressed and selected.
    bool isHitTestable() const noexcept { return isEditable && !isInactive && !arePointsHidden; }

    CTarget<CColorSwatch> colorSwatch;
    CControlPoint defaultPoint;
    CString filterModeValueList;
    double freeformDistanceThreshold = 0.05;
    std::int32_t freeformPointCount = 60;
    bool isInactive = false;
    bool isDragSegments = false;
    bool isEditable = false;
    bool isFreeformOn = false;
    bool arePointsHidden = false;
    bool isSorted = false;
    bool isVertical = false;
    bool isVisible = true;
    CString linkedLayerName;
    double minDistance = -1.0;
    CTarget<CMinMax> minMaxX;
    CTarget<CMinMax> minMaxY;
    CTarget<CMinMax> minMaxYAlt;
    CString name;
    std::int32_t pointCount = 0;
    std::vector<std::int32_t> order;
    CUIParam* paramCount = nullptr;  // not owned: the layer's children, for the layer's life
    CUIParam* paramXy = nullptr;
    CUIParam* paramX = nullptr;
    CUIParam* paramY = nullptr;
    CUIParam* paramBw = nullptr;
    CUIParam* paramDyn = nullptr;
    CUIParam* paramFilterMode = nullptr;
    CUIParam* paramPrevFilterMode = nullptr;
    CUIParam* paramSel = nullptr;
    CUIParam* paramHover = nullptr;
    CUIParam* paramReset = nullptr;
    CUIParam* paramFreeformDrawing = nullptr;
    CUIParam* paramHidePoints = nullptr;
    std::vector<std::unique_ptr<CControlPoint>> points;
};

} // namespace tal
