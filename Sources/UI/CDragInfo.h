#pragma once
#include "Core/CArray.h"
#include "Core/CTarget.h"
#include "UI/CAreaRect.h"
#include "UI/CDragPoint.h"
#include "UI/CHIDInfoUpdateHandler.h"

#include <cstdint>

namespace tal {

class CGlobalSettings;
class CView;

// The drag state a control embeds to turn mouse movement into value changes. Between start and stop
// every mouse move, measured in window pixels, is scaled for fine adjustment and by each point's
// gains and accumulated into the drag points, under optional limits: in hold-at-limit mode
// (setLimits) a position stays at a limit while the raw total lies beyond it; otherwise positions are
// clamped. A drag may follow a leader (linked drag), copying its first step. The cursor is hidden
// once per drag when asked, parked back at the origin, wrapped at the screen edge and put back at
// the origin on stop; tablet mode (global settings) switches all cursor handling off. While it runs
// the drag is registered in the input state's list of active drags, so cursor moves made by the
// window reset its last position. Each drag leaves the window's count of cursor hides as it found it.
// Without "ui.global-settings" a drag logs once and uses the described defaults (tablet mode off,
// shift factor of precision 0.5).
// UI thread only.
class CDragInfo : public CHIDInfoUpdateHandler {
public:
    CDragInfo();
    ~CDragInfo() override;
    CDragInfo(const CDragInfo&) = delete;
    CDragInfo& operator=(const CDragInfo&) = delete;

    // Begins a drag on view (axis 0 = x, 1 = y for setLimits and limitAtCurrent). Starting an
    // active drag starts afresh: a cursor this drag hid is shown first. Always null.
    [[nodiscard]] CError* start(CView* view, CDragInfo* linkedDrag, std::uint8_t axis, bool hideCursor,
                                bool restoreCursor);
    // One mouse move: steps of every point (fine: times the shift-key precision factor).
    void update(bool fine, bool useMouseScale);
    // Ends the drag: unregisters, resets the points, restores and shows the cursor. Nothing when
    // not active.
    void stop();
    // Hides the cursor if asked and warps it to the origin.
    void parkCursor();
    // Asks the window to wrap the cursor at the screen edge.
    void wrapCursor();
    // Lower and upper limit on the drag axis, hold-at-limit mode on.
    void setLimits(double lower, double upper);
    // One limit on the drag axis at the first point's position (upper when it is above 0, else
    // lower), hold-at-limit mode off. Returns that position.
    double limitAtCurrent();
    // Four limits that keep item inside bounds, hold-at-limit mode off.
    void setLimitsFromRects(const CAreaRect& item, const CAreaRect& bounds);
    // Moves the cursor to the centre of rect (view coordinates) and makes that the origin.
    void setOriginAtRectCenter(const CAreaRect& rect);
    // Moves the origin (where stop puts the cursor back) by (dx, dy) window pixels, for an owner
    // that moved during the drag.
    void shiftOrigin(double dx, double dy) noexcept {
        mOrigin[0] += dx;
        mOrigin[1] += dy;
    }
    // Distance between the mouse and the origin in window pixels; 0 without a view.
    double getDistanceFromOrigin();
    // The mouse position in window pixels ((0, 0) without a view).
    void getMousePosition(double out[2]) const;
    // Last position = the mouse position (the window moved the cursor).
    void onMouseUpdate() override;
    // Appends a point with gains 1 and everything else 0.
    CDragPoint* addPoint();

    // --- state ---
    CDragPoint* point(int index) const noexcept { return mPoints[index]; }
    int pointCount() const noexcept { return mPoints.count(); }
    bool isActive() const noexcept { return mIsActive; }
    bool isCursorHidden() const noexcept { return mIsCursorHidden; }
    bool isHoldAtLimit() const noexcept { return mIsHoldAtLimit; }
    CDragInfo* linkedDrag() const noexcept { return mLinkedDrag; }
    const double* origin() const noexcept { return mOrigin; }
    const double* lastPosition() const noexcept { return mLastPosition; }

    double valueScale = 0.0;   // 1 after start; the owner's, never read here
    // Limit flags and limits: lower x, lower y, upper x, upper y.
    bool hasLimit[4] = {false, false, false, false};
    double limits[4] = {0.0, 0.0, 0.0, 0.0};
    bool lockX = false, lockY = false;   // set by the owner; cleared by start

private:
    enum : int { kLowerX = 0, kLowerY = 1, kUpperX = 2, kUpperY = 3 };

    void applyStep(CDragPoint& point);
    void resetPoints();
    void clearLimits();
    // The settings, or null (logged once per drag state).
    CGlobalSettings* settings();
    bool isTabletMode();
    // Hides the cursor once per drag when asked.
    void hideCursorOnce();
    void showHiddenCursor();
    // Removes this drag from the window's active drags and from the drags that follow it.
    void unregister();

    CArray<CDragPoint*> mPoints;   // owned; never empty
    CTarget<CGlobalSettings> mSettings;
    bool mIsHoldAtLimit = false;
    bool mIsCursorHidden = false;
    bool mRestoreCursor = false;
    bool mIsActive = false;
    std::uint8_t mAxis = 0;
    double mLastPosition[2] = {0.0, 0.0};
    CDragInfo* mLinkedDrag = nullptr;   // not owned: the leader
    bool mHideCursor = false;
    double mOrigin[2] = {0.0, 0.0};
    CView* mView = nullptr;             // not owned
    bool mLoggedNoSettings = false;
    CArray<CDragInfo*> mFollowers;      // not owned: drags linked to this one while they run
};

} // namespace tal
