#pragma once
#include "UI/Controls/CControlPointRef.h"

#include <cstdint>
#include <vector>

namespace tal {

class CControlSurfaceBase;
class CError;
class CUIParam;

// The selected points of the curve editor for one channel group and bridge, and the link between
// the editor's current point and the layer's selection parameter (1-based point number, 0 = none).
// Owned by the surface (one per key, for the surface's life); points at the surface without owning
// it. UI thread only.
class CControlSurfaceSelection {
public:
    // --- set-up ---
    void setOwner(CControlSurfaceBase* owner) noexcept { mOwner = owner; }

    // --- queries ---
    // True with nothing selected (every band counts as active); else whether the point of the layer
    // whose xy or y parameter is param is selected.
    bool isPointSelected(const CUIParam* param, std::int32_t point) const;
    bool isPointSelected(const CControlPointRef& ref) const noexcept;
    // Whether a selected point's hit rectangle holds (x, y).
    bool isSelectedPointAt(double x, double y) const;

    // --- operations ---
    // Adds ref once unless it is invalid or its layer is inactive, drawing freehand or hiding its
    // points; isExplicit records it as the user's own pick, otherwise drops that mark.
    void addPoint(const CControlPointRef& ref, bool isExplicit);
    // Removes ref from the selected and the explicit points.
    void removePoint(const CControlPointRef& ref);
    // Empties the selection; writeNone also writes "no point" to the selection parameter.
    void clear(bool writeNone);
    // Writes ref + 1 to its layer's selection parameter (0 to the current point's parameter when
    // that lies on another bridge).
    void writeSelParam(const CControlPointRef& ref);
    // Makes ref the current point (none when invalid) and publishes it as "curpos-band-sel".
    [[nodiscard]] CError* setCurrentPoint(const CControlPointRef& ref, bool clearPending);
    // Applies the current point a parameter named since the last draw.
    void applyPendingCurrent();
    void setPendingCurrent(const CControlPointRef& ref);
    // Makes ref the only selected point and names it in the selection parameter.
    void selectSingle(const CControlPointRef& ref);
    // Selects the next (step 1) or previous (-1) point from left to right, wrapping around; point 0
    // of the current layer without a current point. Nothing without points.
    void selectNeighbour(std::int32_t step);
    // Selects the point under (x, y) (toggle: a selected one is removed), else grabs the segment
    // there when allowSegment.
    [[nodiscard]] CError* clickSelect(bool toggle, bool editableOnly, bool allowSegment, double x, double y);
    void saveAtPress();
    void restoreAtPress();
    void restoreAfterSegmentGrab();
    // Drops every invalid reference.
    void purgeInvalid();

    std::vector<CControlPointRef> selected;
    std::vector<CControlPointRef> grabbedEnds;
    std::vector<CControlPointRef> explicitPoints;
    std::vector<CControlPointRef> beforeSegmentGrab;
    std::vector<CControlPointRef> atPress;
    std::int32_t grabbedSegment = -1;

private:
    bool isValid(const CControlPointRef& ref) const;

    CControlSurfaceBase* mOwner = nullptr;  // not owned: the surface owns this record
};

} // namespace tal
