#pragma once
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CAreaRect.h"
#include "UI/CControlSurfaceExtern.h"
#include "UI/CUIParamUndoCollector.h"
#include "UI/CView.h"
#include "UI/Controls/CAddBandAutoType.h"
#include "UI/Controls/CControlPointRef.h"
#include "UI/Controls/CControlSurfaceSelection.h"
#include "UI/Controls/CLabelArea.h"
#include "UI/Controls/CLayerRecord.h"
#include "UI/Controls/CPointDisplay.h"
#include "UI/Controls/CSegmentDisplay.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CUIParam;

// The shared core of the curve editor laid over the response graph: its layers and point records,
// the mapping between a point's normalised parameter value and its display position, the hit tests
// of points, segments and labels, the glued and curve-hover state, the per-group selection records
// and the answers the graph asks for through CControlSurfaceExtern. The object tree owns the
// surface; the surface owns its layer, selection and display records. Editor thread only; no lock.
class CControlSurfaceBase : public CView, public CControlSurfaceExtern {
    friend class CControlSurfaceSelection;  // keeps the current point and reads the drawn records

public:
    CControlSurfaceBase() = default;
    ~CControlSurfaceBase() override;

    // --- CControlSurfaceExtern ---
    bool isColorizedBandsEnabled() override { return mIsColorizedBandsEnabled; }
    // The x position (0..1) of point index of the current layer; 0 for an index outside it.
    double getBandHue(std::int32_t index) override;
    // The selected bands of the current layer that are not switched off, then index when not among
    // them; when that differs from current, current moves to previous and takes it. False when
    // unchanged or without an active selection.
    bool updateActiveBands(std::int32_t index, std::vector<std::int32_t>& current,
                           std::vector<std::int32_t>& previous) override;
    // The glued values and the curve hover point after new curves.
    [[nodiscard]] CError* updateHover() override;
    // Whether the point of the layer bound to param is selected in the active selection.
    bool isPointSelected(const CUIParam* param, std::int32_t point) override;

    // --- hooks of the derived classes ---
    virtual void syncScrollTargets() {}
    // Rebuilds the point display records; the base has none to build.
    [[nodiscard]] virtual CError* updatePointDisplay() { return nullptr; }

    // --- layers and points ---
    // Appends a layer record named name; returns its index.
    std::int32_t registerLayer(const CString& name);
    std::int32_t layerCount() const noexcept { return static_cast<std::int32_t>(mLayers.size()); }
    // The record of layer i, null outside the layers.
    CLayerRecord* layer(std::int32_t i) noexcept;
    // The record of point i of layer, grown as needed; i must not be negative.
    static CControlPoint* getPointRecord(CLayerRecord& layer, std::int32_t i) { return layer.pointRecord(i); }
    // The record of ref, null when ref lies outside the layers or the layer's point count.
    CControlPoint* getPoint(const CControlPointRef& ref);
    // The first layer named name, -1 when none.
    std::int32_t findLayerByName(const CString& name) const;

    // --- mapping between normalised parameter values and display positions (0..1) ---
    // The parameter's plain value is interpolated with the range's own scale (linear or
    // logarithmic). Without a range or parameter, and in simple xy mode ignoring ranges, the
    // identity.
    double valueToDisplay(bool isY, std::int32_t layer, double v);
    double displayToValue(bool isY, std::int32_t layer, double d);
    // v while the glued values are valid; else v clamped to 0..1.
    double clampPosition(double v) const noexcept;
    // Whether the x values or the y values differ beyond one unit of the last place.
    static bool isPositionDifferent(const double a[2], const double b[2]) noexcept;
    // The band type of ref in the current group, to the nearest integer; -1 without a layer or a
    // filter-mode parameter.
    std::int32_t getFilterMode(const CControlPointRef& ref);

    // --- glued mode and curve hover ---
    // In glued mode: each point's height on the summary curve and its weight from its band curve's
    // slope. Errors of the point display and of the layout pass are returned.
    [[nodiscard]] CError* updateGluedPoints();
    // The place on the response curves where a drag would add a band, (0, 0) when none.
    void updateCurveHoverPoint();

    // --- hit testing (x, y in surface pixels; distances in unscaled pixels) ---
    // The index of the nearest point display record within maxDistance, -1 when none; of equal
    // distances the later record (drawn on top) wins.
    std::int32_t findPointAt(bool editableOnly, bool xOnly, bool ignoreRects, double x, double y,
                             double maxDistance);
    // Hovers the point, segment or label under (x, y). Always returns null.
    [[nodiscard]] CError* updateHoverAt(double x, double y);
    // The nearest segment within max-dist-to-segment, -1 when none; a position near a segment's end
    // hits the point there, not the segment.
    std::int32_t findSegmentAt(bool onlyEditable, double x, double y);
    // The point of segment nearest to (x, y) into out (surface pixels); returns the fraction along
    // the segment (0 for a segment shorter than 0.001 pixel) and writes its length.
    double projectOnSegment(const CSegmentDisplay& segment, double out[2], double x, double y, double& length) const;
    // Whether (x, y) lies in the area rectangle grown by 7 pixels on every side; never inside an
    // empty rectangle.
    bool isInAreaRect(double x, double y) const noexcept;
    // The perpendicular distance of p from the line through a and b.
    static double distanceToLine(const double p[2], const double a[2], const double b[2]) noexcept;
    // The distance of p from the segment a..b (1e10 near an end with excludeEnds); writes the
    // nearest point into out when given. Always true.
    bool distanceToSegment(const double p[2], const double a[2], const double b[2], double* out, bool excludeEnds,
                           double& distance) const noexcept;

    // --- selection records ---
    // Makes the selection record of the wanted key active, creating it on first use.
    [[nodiscard]] CError* activateSelection();
    CControlSurfaceSelection* selection() noexcept { return mSelection; }

    // --- band state from the parameters ---
    // Brings the points of layer in line with a change of param from element first on (count below
    // 1: all elements). Hover changes are ignored.
    [[nodiscard]] CError* onLayerParamChanged(std::int32_t layer, CUIParam* param, std::int32_t first,
                                              std::int32_t count);
    // Sets the layer's point count; added points are read from the position, bandwidth and dyn
    // parameters. Shrinking keeps the surplus records.
    [[nodiscard]] CError* setPointCount(std::int32_t layer, std::int32_t count);
    // Replaces the layer's points by copies of list, keeping the old positions of points not fixed
    // on an axis and the old band types; clears the hover and reads every parameter again.
    void installPoints(std::int32_t layer, const std::vector<std::unique_ptr<CControlPoint>>& list);
    // Reads one point from param (null: from all its position, bandwidth and dyn parameters); sets
    // xChanged when its x was read. Nothing for a reference outside the layer's points.
    void readPointFromBindings(const CControlPointRef& ref, const CUIParam* param, bool& xChanged);
    // Recomputes the drawing order of the layer and reads every point from its parameters again.
    void refreshLayer(std::int32_t layer);
    // The drawing and hit order: by position (y on a vertical layer... x otherwise) when sorted, else
    // the point order.
    void updatePointOrder(std::int32_t layer);
    // Switches a band off (keeping its type as the previous type) or on again (the previous type, or
    // the automatic type of its frequency); onlyOn leaves a band that is on alone. gluedOn is set when
    // a band came on while the glued values are valid. Fires "band-mode-changed" with "index".
    [[nodiscard]] CError* toggleBand(const CControlPointRef& ref, bool onlyOn, bool commit, bool& gluedOn);
    // Writes "current-graph-point": the hovered band, else the current one, when it is on (or with
    // force); -1 otherwise.
    [[nodiscard]] CError* updateCurrentGraphPoint(bool force);
    void updateLayerActivity(std::int32_t layer);
    void setLayerInactive(std::int32_t layer);
    void setLayerDragSegments(std::int32_t layer, bool value);
    void setLayerEditable(std::int32_t layer, bool value);
    void setLayerVisible(std::int32_t layer, bool value);
    void setLayerSorted(std::int32_t layer, bool value);
    void setLayerVertical(std::int32_t layer, bool value);
    // Binds the layer's x or y range to the range object of that full name; the surface then hears
    // its "min-max-update".
    void setLayerMinMaxX(std::int32_t layer, const CString& fullName);
    void setLayerMinMaxY(std::int32_t layer, const CString& fullName);
    CUIParamUndoCollector& undoCollector() noexcept { return mUndoCollector; }

    // --- editing points (band mode) ---
    // The layer's point count and the largest count it may have, in group (-1: current); 0 and 0
    // for an invalid layer. Error "UIParamCount not defined." without a count parameter.
    [[nodiscard]] CError* getPointCount(std::int32_t layer, std::int32_t& count, std::int32_t& maximum,
                                        std::int32_t group);
    // Adds a band at pixel (x, y) of the plot as element count of group: its position, snapped
    // bandwidth and automatic type, then the count one higher, as the undo step "Control point add"
    // (no step for a temporary band). A full layer gets nothing and lastAddedPoint stays none.
    [[nodiscard]] CError* addPoint(std::int32_t layer, bool isTemporary, std::int32_t group, double x, double y);
    // Removes band ref.point of each group (the last band moves into its slot, the count drops by
    // one); commitUndo ends the undo step "Control point remove". Groups without that band are skipped.
    [[nodiscard]] CError* removePoint(const CControlPointRef& ref, bool isTemporary, std::int32_t group,
                                      bool commitUndo, const std::vector<std::int32_t>* groups);
    // Sends the queued moves and the marked points to the parameters, runs of consecutive bands in
    // one change each.
    [[nodiscard]] CError* flushPointChanges();
    void markPointChanged(const CControlPointRef& ref);
    void markLayerChanged(std::int32_t layer);
    // Appends a move of a point by (dx, dy) normalised units, added to an earlier move of that point.
    void queueMove(const CControlPointRef& ref, double dx, double dy, bool moveX, bool moveY);
    // Defers the notifications of every position, bandwidth and type parameter of the editable layers.
    void holdNotifications();
    // Ends the deferral, reporting the held changes; the first error is returned.
    [[nodiscard]] CError* releaseHeldNotifications();
    // Resets point p of the layer (-1: every point, the count and the freeform mode); undoId -1 gives
    // each parameter its own undo step.
    void resetLayerPoint(CLayerRecord& record, std::int32_t p, std::int32_t undoId);
    // The current group of the layer's x, y or xy parameter; -1 when none.
    std::int32_t getLayerGroup(std::int32_t layer);
    const CControlPointRef& lastAddedPoint() const noexcept { return mLastAddedPoint; }

    // --- adding bands ---
    // The bandwidth in octaves (0.25..2.5) for a band added at x: the distance in octaves to the
    // nearest band that is on; defaultBandwidth without a layer, an x parameter or such a band.
    double snapBandwidth(std::int32_t layer, double x, double defaultBandwidth);
    // The band type for a band added at x from the add-band-auto-types table; 0 when none covers it.
    std::int32_t getAutoBandType(std::int32_t layer, double x);
    // The band type of the first entry covering frequency (rounded to the nearest integer); 0 when none.
    std::int32_t autoTypeForFrequency(double frequency) const noexcept;
    // Reads comma-separated triples low, high, type (empty pieces dropped, incomplete triple ignored).
    static void parseAddBandAutoTypes(const CString& text, std::vector<CAddBandAutoType>& out);

protected:
    // The factor between description units and pixels of the window; 1 without a window.
    virtual double hitScale() const noexcept;
    // The surface's total rectangle (window pixels), empty before the first layout.
    CAreaRect surfaceRect() const noexcept;
    // The parameter and component that give a layer's axis its values.
    CUIParam* axisParam(const CLayerRecord& layer, bool isY, std::int32_t& component) const noexcept;
    // The x parameter of a band layer (the xy parameter in simple xy mode), component 0.
    CUIParam* positionParam(const CLayerRecord& layer) const noexcept;
    // The plain frequency of display position x through layer's position parameter.
    double plainAt(std::int32_t layer, const CLayerRecord& record, double x);
    CLayerRecord* currentLayerRecord() noexcept { return layer(mCurrentLayer); }
    // Asks for a new layout and a repaint of the surface.
    void markLayoutChanged() { invalidate(); }
    // The readouts follow at the next draw; the surface repaints.
    void refreshReadouts() {
        mAreReadoutsDirty = true;
        invalidate();
    }

    std::vector<std::unique_ptr<CLayerRecord>> mLayers;
    std::vector<CPointDisplay> mPointDisplay;
    std::vector<CSegmentDisplay> mSegments;
    std::vector<CLabelArea> mLabelAreas;
    std::vector<CAddBandAutoType> mAddBandAutoTypes;
    std::vector<CControlPointRef> mDraggedPoints;
    CTarget<CObject> mGraph;
    CControlPointRef mHoverPoint;
    CControlPointRef mCurrentPoint;
    CControlPointRef mPendingCurrentPoint;
    CControlPointRef mSavedCurrentPoint;
    CControlPointRef mDragPoint;
    std::int32_t mHoverSegment = -1;
    CControlPointRef mHoverLabel;
    std::int32_t mCurrentLayer = 0;
    CAreaRect mPlotRect;
    CAreaRect mAreaRect;
    double mCurveHoverPoint[2] = {0.0, 0.0};
    double mMaxDistToSegment = 0.0;
    double mMinDistToSegmentVertex = 0.0;
    bool mIsColorizedBandsEnabled = false;
    bool mIsGluedMode = false;
    bool mIsGluedStateValid = false;
    bool mIsSimpleXyParamMode = false;
    bool mIsSimpleXyIgnoreMinmax = false;
    bool mIsSnapAddBand = false;
    bool mIsSnapAddBandToCurrent = false;
    bool mIsCurveDragAddingPoints = true;
    bool mIsMouseOutside = true;
    bool mIsPanning = false;
    bool mAreReadoutsDirty = false;
    bool mIsXyBridged = false;
    CControlPointRef mLastAddedPoint;
    struct CQueuedMove {
        double dx = 0.0;
        double dy = 0.0;
        bool moveX = false;
        bool moveY = false;
        CControlPointRef point;
    };
    std::vector<CQueuedMove> mQueuedMoves;
    std::vector<std::int32_t> mResendLayers;
    std::vector<std::pair<std::int32_t, std::vector<std::int32_t>>> mResendPoints;
    CUIParamUndoCollector mUndoCollector;
    CString mActiveSelectionKey;
    CString mWantedSelectionKey;
    std::vector<std::pair<CString, std::unique_ptr<CControlSurfaceSelection>>> mSelections;
    CControlSurfaceSelection* mSelection = nullptr;  // not owned: one of mSelections
};

} // namespace tal
