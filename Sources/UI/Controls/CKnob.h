#pragma once
#include "Core/CArray.h"
#include "Core/CTarget.h"
#include "Other/CColor.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CView.h"

#include <cstdint>

namespace tal {

class CColorSwatch;
class CMultiChangeDisplay;
class CUIParamController;
class CGlobalSettings;
class CKnobLabels;
class CUIParam;
class CValueList;
struct CImageDraw;

enum KnobDragMode : std::int32_t { KnobDragNone = 0, KnobDragLinear = 1, KnobDragRadial = 2 };
enum KnobLayout : std::int32_t { KnobLayoutStrip = 1, KnobLayoutComposite = 2, KnobLayoutLayered = 4 };

// One image the knob paints: where (window pixels) and the prepared layer.
struct CKnobDrawRequest {
    std::int32_t x = 0;
    std::int32_t y = 0;
    CImageDraw* draw = nullptr;   // a record of the window's image-draw pool, valid for one frame
};

// (audio group, display value) entries of the knob's element, plus the distinct groups that name an
// undo step.
struct CKnobChannelValues {
    CArray<std::int32_t> groups;
    CArray<std::int32_t> entryGroups;
    CArray<double> entryValues;
    void clear() noexcept {
        groups.clear();
        entryGroups.clear();
        entryValues.clear();
    }
};

// "ui:knob": the rotary knob. Shows component 0 of element "element" of its child UI parameter
// "ui-param" as frames of its image set (layered, composite or strip layout, detected from the
// set's named ranges) and turns drags, wheel steps and double clicks into new values through its
// drag controller. Hovering fades a glow in over 0.15 s and shows the knob labels. A drag with Alt
// moves the element in every active channel group by the same display difference; a right-button
// or Ctrl drag brings the knobs named in "linked-knob" along by that difference.
// Owned by the object tree; children (parameter, controller, labels) are owned by the tree. UI
// thread, except paint, which draws only the requests prepareDraw built.
class CKnob : public CView, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CKnob() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    // Disabled while the element is negative or the UI parameter is inactive.
    [[nodiscard]] CError* updateActivity();

    // --- pointer ---
    [[nodiscard]] CError* onMouseEnter() override;
    [[nodiscard]] CError* onMouseExit() override;
    [[nodiscard]] CError* onMouseMove(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePress(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePressR(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseRelease(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseReleaseR(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseWheel(CAttrMap& args) override;
    // A knob disabled during its drag ends the drag at once.
    [[nodiscard]] CError* onDisabledChanged() override;

    // --- geometry and drawing ---
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;
    // (first, last) of a named range of the image set; the empty name stands for the current range.
    // (0, -1) when absent.
    void getFrameRange(const CString& name, std::int32_t& first, std::int32_t& last);

    // --- UI parameter news ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount) override;

    // --- attribute and event handlers ---
    [[nodiscard]] CError* attrElement();
    [[nodiscard]] CError* onAdjustValue(CAttrMap& args);
    [[nodiscard]] CError* onKnobLabelValuesChange();
    [[nodiscard]] CError* onReadoutEnter();
    [[nodiscard]] CError* onReadoutExit();
    [[nodiscard]] CError* onWindowRender();

    // --- hover ---
    void updateHoverGlow();
    [[nodiscard]] CError* updateKnobLabels();

    // --- value mapping and channel edits ---
    // The normalised value a pointer position (view pixels) means in a radial drag.
    double pointToRadialValue(double x, double y) const noexcept;
    void collectChannelValues(CKnobChannelValues& out, bool onlyCurrent);
    // Writes the entries' display values (one undo step when asOneEdit).
    void applyChannelValues(const CKnobChannelValues& values, bool asOneEdit);
    double getDragDelta();
    void applyDragDelta(double delta);
    void resolveLinkedKnobs();

    // --- queries ---
    double value() const noexcept { return mValue; }
    std::int32_t element() const noexcept { return mElement; }
    KnobDragMode dragMode() const noexcept { return mDragMode; }
    KnobLayout layout() const noexcept { return mLayout; }
    bool isHovered() const noexcept { return mIsHovered; }
    bool isLinkedDragActive() const noexcept { return mIsLinkedDragActive; }
    double glowLevel() const noexcept { return mGlowLevel; }
    bool isRenderListening() const noexcept { return mIsRenderListening; }
    bool isLabelsShown() const noexcept { return mIsLabelsShown; }
    CKnobLabels* knobLabels() const noexcept { return mKnobLabels; }
    CUIParam* uiParam() const noexcept { return mUIParam; }
    CUIParamController* controller() const noexcept { return mController; }
    double centerXPx() const noexcept { return mCenterXPx; }
    double centerYPx() const noexcept { return mCenterYPx; }
    double innerRadiusPx() const noexcept { return mInnerRadiusPx; }
    double outerRadiusPx() const noexcept { return mOuterRadiusPx; }
    std::int32_t zeroMarkX() const noexcept { return mZeroMarkPos[0]; }
    std::int32_t zeroMarkY() const noexcept { return mZeroMarkPos[1]; }
    std::int32_t imageX() const noexcept { return mImagePos[0]; }
    std::int32_t imageY() const noexcept { return mImagePos[1]; }
    const CArray<CKnobDrawRequest>& drawRequests() const noexcept { return mDrawRequests; }
    const CColor& pointerColor() const noexcept { return mPointerColor; }
    int linkedKnobCount() const noexcept { return mLinkedKnobs.count(); }
    // Neither the knob nor an ancestor view is disabled.
    bool isEnabled() const noexcept;

protected:
    // Begins a drag of knob (this knob's own press when master is null).
    void startDrag(CKnob& knob, bool forceLinear, bool isDoubleClick, bool allChannels, CKnob* master,
                   bool fromLevelMeter, double x, double y, bool vertical);
    void setLinkedDrag(bool start, bool isDoubleClick, bool allChannels, double x, double y);
    void endDrag();
    [[nodiscard]] CError* pressAt(CAttrMap& args, bool rightButton);
    // endDrag, then hides the multi-change display of the knob and of its linked knobs.
    [[nodiscard]] CError* finishDrag();
    [[nodiscard]] CError* showMultiChangeDisplay(bool show);
    [[nodiscard]] CError* refreshMultiChangeDisplay();

private:
    enum RangeSlot { kRangeSlots = 12 };
    struct CFrameRange {
        std::int32_t first = 0;
        std::int32_t last = -1;
    };
    // --- the drag controller and the multi-change display ---
    bool controllerIsMultiChange();
    void controllerPress(KnobDragMode mode, CKnob* master, bool fromLevelMeter, bool vertical);
    void controllerMove(bool fine, bool invert, bool limitToRange);
    void controllerSetDragged(double value);
    void controllerRelease();
    void controllerWheel(std::int32_t element, bool fine, double delta);
    void controllerReset();
    void controllerAddUndoParam(CUIParam* param);
    // Moves the point to which the pointer returns at the release.
    void controllerShiftCursorReturn(double dx, double dy);
    bool multiChangeDisplayShown();

    // The range offset of the current range name (0 for none).
    std::int32_t currentRangeOffset();
    // Adds a request for layer `layer` of image `index` at (x, y) with the layer's own colour.
    void requestLayer(std::int32_t index, int layer, std::int32_t x, std::int32_t y, double opacity);
    void requestFirstOf(const CFrameRange& range, std::int32_t offset, std::int32_t x, std::int32_t y, double opacity);
    void requestAt(const CFrameRange& range, double t, std::int32_t offset, std::int32_t x, std::int32_t y,
                   double opacity);
    void updatePointerColor();
    void updateRenderListening();
    const CString& renderSender();
    CKnob* linkedKnob(int i);

    double mCenterX = 0.0;
    double mCenterY = 0.0;
    KnobDragMode mDragMode = KnobDragNone;
    CTarget<CColorSwatch> mColorSwatch;
    std::int32_t mColorIndex = 0;
    double mValue = -1.0;
    std::int32_t mImagePos[2] = {};
    std::int32_t mZeroMarkPos[2] = {};
    double mCenterXPx = 0.0, mCenterYPx = 0.0;
    double mInnerRadiusPx = 0.0, mOuterRadiusPx = 0.0;
    CFrameRange mFrameRanges[kRangeSlots];
    CKnobChannelValues mChannelSnapshot;
    double mDragStartOrigin[2] = {};
    CArray<CKnobDrawRequest> mDrawRequests;
    KnobLayout mLayout = KnobLayout(0);
    std::int32_t mElement = 0;
    CTarget<CGlobalSettings> mGlobalSettings;
    double mGlowLevel = 0.0;
    double mGlowStart = -1.0;
    bool mGlowTarget = false;
    double mInnerRadius = 0.0;
    bool mIsCtrlAtPress = false;
    bool mIsHovered = false;
    bool mIsGlowAnimating = false;
    bool mIsKnobLabels = false;
    bool mIsLabelsShown = false;
    bool mIsLinkInversed = false;
    bool mIsReadoutHovered = false;
    bool mLevelMeterMode = false;
    bool mIsUseKnobPointerColor = false;
    bool mIsLinkedDragActive = false;
    bool mIsRenderListening = false;
    CTarget<CView> mLabelMin;
    CTarget<CView> mLabelMax;
    CTarget<CValueList> mLabelValues;
    CKnobLabels* mKnobLabels = nullptr;   // not owned: a child while it exists
    CColor mPointerColor;
    std::int32_t mPointerColorStamp = -1;
    CArray<CTarget<CKnob>*> mLinkedKnobs;   // owned targets
    CTarget<CMultiChangeDisplay> mMultiChangeDisplay;
    double mOuterRadius = 0.0;
    CUIParam* mUIParam = nullptr;   // not owned: the child "ui-param"
    CUIParamController* mController = nullptr;   // not owned: the child "ui-param-controller"
    double mZoneStart = 0.0, mZoneEnd = 0.0;
    CString mRenderSender;          // the window renderer listened to while the glow fades
};

} // namespace tal
