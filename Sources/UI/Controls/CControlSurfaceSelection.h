#pragma once
#include "UI/Controls/CControlPointRef.h"

#include <vector>

namespace tal {

// The selected points of the curve editor for one channel group: every selected point, the points
// the user chose explicitly, and the two ends of a grabbed segment. Owned by the surface (one per
// group key). UI thread only.
class CControlSurfaceSelection {
public:
    // --- queries ---
    bool isPointSelected(const CControlPointRef& ref) const noexcept;

    // --- operations ---
    // Adds ref once (a second add changes nothing); explicit also records it as chosen by the user.
    void addPoint(const CControlPointRef& ref, bool isExplicit);
    // Removes every entry of ref from both lists.
    void removePoint(const CControlPointRef& ref);
    void clear() noexcept;
    // Makes ref the only selected point and the current one.
    void selectSingle(const CControlPointRef& ref);

    // The highlighted point, and the one a parameter named that becomes current at the next draw.
    CControlPointRef currentPoint;
    CControlPointRef pendingCurrent;

    std::vector<CControlPointRef> selected;
    std::vector<CControlPointRef> explicitPoints;
    std::vector<CControlPointRef> grabbedEnds;
    std::int32_t grabbedSegment = -1;
};

} // namespace tal
