#pragma once
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/Controls/CControlPointRef.h"

#include <cstdint>
#include <map>
#include <vector>

namespace tal {

class CControlSurfaceBase;
class CError;
class CObject;
class CValueList;

// The curve editor's sweep: while the button is held after a Ctrl-press on an empty spot, a
// temporary band of a fixed type sits under the pointer in every routed channel group and follows
// the drag; the release removes them and puts back the unit titles and the graph's flags, leaving
// no undo step. The bandwidth the user gave the last sweep band starts the next sweep.
// Embedded in the surface, which it points at without owning. UI thread only.
class CControlSurfaceSweep {
public:
    // Reads the surface's temp-point-filter-mode, temp-point-audio-groups and temp-point-layer-name.
    [[nodiscard]] CError* init(CControlSurfaceBase* surface);
    // The groups to sweep in: the 1-based numbers after the last ';' of the group list's items, then
    // the current layer's own group.
    void collectGroups();
    // Adds the temporary bands at (x, y) surface pixels (a full group gets none), selects the
    // current group's, shows "Hz" and "dB" as unit titles and tells the graph to leave the current
    // band out of the sum.
    [[nodiscard]] CError* start(double x, double y);
    // Removes the temporary bands, keeping the sweep band's bandwidth for the next sweep, and puts
    // the titles and the graph flags back; also after a sweep that added no band.
    [[nodiscard]] CError* stop();

    // --- queries ---
    bool isStarted() const noexcept { return mIsStarted; }
    double lastBandwidth() const noexcept { return mLastBandwidth; }
    const CControlPointRef& sweepPoint() const noexcept { return mSweepPoint; }
    const std::map<std::int32_t, CControlPointRef>& addedPoints() const noexcept { return mAddedPoints; }
    const std::vector<std::int32_t>& groups() const noexcept { return mGroups; }

private:
    // The unit labels named by label-units-x and label-units-y (required).
    [[nodiscard]] CError* findLabels(CObject*& labelX, CObject*& labelY);
    // Sets the graph's integer attribute when the graph is one.
    [[nodiscard]] CError* setGraphFlags(std::int32_t value);

    double mLastBandwidth = 0.5;
    std::int32_t mTempFilterMode = -1;
    std::int32_t mTempLayer = 0;
    std::map<std::int32_t, CControlPointRef> mAddedPoints;
    CControlPointRef mSweepPoint;
    std::vector<std::int32_t> mGroups;
    CTarget<CValueList> mGroupList;
    std::int32_t mSavedLayer = -1;
    CString mSavedTitleX;
    CString mSavedTitleY;
    bool mIsStarted = false;   // titles and flags changed: the release restores them
    CControlSurfaceBase* mOwner = nullptr;   // not owned: the surface embeds this record
};

} // namespace tal
