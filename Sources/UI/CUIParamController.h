#pragma once
#include "Core/CArray.h"
#include "Core/CSortedMap.h"
#include "Core/CTarget.h"
#include "UI/CDragInfo.h"
#include "UI/CUIParamUndoCollector.h"
#include "UI/CView.h"

#include <cstdint>

namespace tal {

class CAudioInterfaceClient;
class CControlSurfaceExtern;
class CGlobalSettings;
class CUIParam;

// "ui:ui-param-controller": the invisible drag controller of knobs, sliders and readouts. It turns
// pointer drags (shift, scale about a pivot, or absolute values the owner computes), wheel steps,
// resets and scripted scale gestures into normalised values of one bound UI parameter ("ui-param"),
// over a range of its elements and, during a multi-change edit, over every active audio group.
// Every drag gesture that sends a value is exactly one undo step, opened at the first value sent and
// committed at the release. With "update-fps" above 0 values are paced by a child timer: one change
// per element per tick, in element order, flushed at the release.
// A child of its owner view (owned by the object tree). Points at its parameter, the curve editor,
// the scale readout and its master without owning them. UI thread only.
class CUIParamController : public CView {
public:
    enum DragMode : std::int32_t { DragScale = 0, DragShift = 1, DragAbsolute = 2 };

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CUIParamController();
    ~CUIParamController() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    // Ends a drag still running (cursor shown and put back, queued values dropped, undo step
    // committed) before the view goes.
    void releaseLinks() override;

    // --- scheme handlers ---
    [[nodiscard]] virtual CError* attrUpdateFps();
    [[nodiscard]] virtual CError* onAdvanceScale(CAttrMap& args);
    [[nodiscard]] virtual CError* onAdvanceShift(CAttrMap& args);
    [[nodiscard]] virtual CError* onFinishScale();
    [[nodiscard]] virtual CError* onFinishShift();
    [[nodiscard]] virtual CError* onScale(CAttrMap& args);
    [[nodiscard]] virtual CError* onStartScale(CAttrMap& args);
    [[nodiscard]] virtual CError* onStartShift(CAttrMap& args);
    [[nodiscard]] virtual CError* onUpdateTimer();

    // --- what owners call ---
    // Starts a gesture on element .. element + count - 1 (-1 in either: all elements, bounded by the
    // parameter's element count). A press while a drag runs first releases that drag.
    void handleMousePress(DragMode mode, std::int32_t element, std::int32_t count, CUIParamController* master,
                          bool hasAxisOverride, bool axisOverride);
    // One drag step after the pointer moved.
    void handleMouseMove(bool fine, bool invert, bool limitToRange);
    // Ends the gesture: queued values applied, undo step committed, cursor restored.
    void handleMouseRelease();
    // DragAbsolute only: every dragged element takes value (normalised).
    void setDraggedValue(double value);
    // One wheel step (delta > 0 up, < 0 down, 0 nothing); ignored while a drag's undo step is open.
    void handleMouseWheel(std::int32_t element, std::int32_t count, bool fine, double delta);
    void resetElements(std::int32_t element, std::int32_t count);
    // Scales the range about the pivot by factor as one undo step.
    void scaleElements(std::int32_t element, std::int32_t count, double factor);
    // Adds another parameter to the open drag's undo step; nothing when none is open.
    void addUndoParam(CUIParam* param);
    std::int32_t getElementCount();
    double getElementNormalized(std::int32_t element);
    double getElementPlain(std::int32_t element);
    // Creates, retunes (rate > 0) or removes (rate <= 0) the pacing timer.
    [[nodiscard]] CError* setUpdateFps(std::int32_t rate);

    // --- state open to owners ---
    bool isMultiChange() const noexcept { return mIsMultiChange; }
    void setMultiChange(bool on) noexcept { mIsMultiChange = on; }
    bool isDragActive() const noexcept { return mIsDragActive; }
    bool isGestureOpen() const noexcept { return mIsGestureOpen; }
    DragMode dragMode() const noexcept { return mDragMode; }
    double pivot() const noexcept { return mPivot; }
    double sensitivity() const noexcept { return mSensitivity; }
    std::int32_t draggedCount() const noexcept { return mDraggedCount; }
    std::int32_t firstElement() const noexcept { return mFirstElement; }
    const CArray<std::int32_t>& activeGroups() const noexcept { return mActiveGroups; }
    CUIParam* uiParam() const noexcept { return mUIParam; }
    // The edited parameter, looked up first when it is not bound yet (null when it does not exist).
    CUIParam* boundUIParam() {
        resolveBindings();
        return mUIParam;
    }
    CObject* updateTimer() const noexcept { return mUpdateTimer; }
    CUIParamUndoCollector& undoCollector() noexcept { return mUndoCollector; }
    // The drag; its valueScale holds the gain (owners may replace it after the press).
    CDragInfo drag;

private:
    void resolveBindings();
    // The element range by the range rule, clamped to the parameter's elements: false when empty.
    bool elementRange(std::int32_t element, std::int32_t count, std::int32_t& first, std::int32_t& n);
    std::int32_t editedComponent() const noexcept { return mIsSecondComponent ? 1 : 0; }
    bool isDiscreteBridged() const;
    double computePivot();
    void updateActiveGroups();
    void openGesture();
    void applyElementValue(std::int32_t element, double value);
    // Ends a running drag without applying queued values (destruction).
    void abandonDrag();

    double mPivot = 0.0;
    DragMode mDragMode = DragScale;
    CControlSurfaceExtern* mControlSurface = nullptr;   // not owned; kept once found
    CSortedMap<std::int32_t, double> mPendingValues;
    CArray<double> mStartValues;
    std::int32_t mDraggedCount = 0;
    std::int32_t mFirstElement = 0;
    CTarget<CUIParamController> mForcedMaster;
    CTarget<CGlobalSettings> mGlobalSettings;
    CTarget<CAudioInterfaceClient> mInterfaceClient;
    bool mIsAxisZero = false;
    bool mIsGestureOpen = false;
    bool mIsDragActive = false;
    bool mIsRelative = false;
    bool mIsMultiChange = false;
    bool mIsParamMinMaxEnabled = false;
    bool mIsSecondComponent = false;
    bool mUseFirstElementReset = false;
    bool mIsVertical = false;
    bool mDragAxisY = true;                   // the axis of the current drag
    CUIParamController* mMaster = nullptr;   // not owned; cleared at the release
    CArray<std::int32_t> mActiveGroups;
    CUIParamUndoCollector mUndoCollector;
    CObject* mScaleReadout = nullptr;         // not owned; kept once found
    double mSensitivity = 1.0;
    CUIParam* mUIParam = nullptr;             // not owned; kept once found
    CUIParam* mUIParamCount = nullptr;        // not owned; kept once found
    CObject* mUpdateTimer = nullptr;          // owned by the object tree (a child)
};

} // namespace tal
