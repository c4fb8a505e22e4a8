#include "UI/Controls/CControlSurfaceSelection.h"

#include <algorithm>

namespace tal {

bool CControlSurfaceSelection::isPointSelected(const CControlPointRef& ref) const noexcept {
    return std::find(selected.begin(), selected.end(), ref) != selected.end();
}

void CControlSurfaceSelection::addPoint(const CControlPointRef& ref, bool isExplicit) {
    if (!isPointSelected(ref))
        selected.push_back(ref);
    if (isExplicit && std::find(explicitPoints.begin(), explicitPoints.end(), ref) == explicitPoints.end())
        explicitPoints.push_back(ref);
}

void CControlSurfaceSelection::removePoint(const CControlPointRef& ref) {
    std::erase(selected, ref);
    std::erase(explicitPoints, ref);
}

void CControlSurfaceSelection::clear() noexcept {
    selected.clear();
    explicitPoints.clear();
    grabbedEnds.clear();
    grabbedSegment = -1;
}

void CControlSurfaceSelection::selectSingle(const CControlPointRef& ref) {
    clear();
    addPoint(ref, true);
    currentPoint = ref;
}

} // namespace tal
