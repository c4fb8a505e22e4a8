#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Core/CTarget.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CView.h"
#include "UI/Controls/CRulerScale.h"

#include <cstdint>
#include <vector>

namespace tal {

class CColor;
class CFontObject;
class CMinMax;
class CRulerArea;
class CValueList;

// "ui:ruler": a scale bar along one edge of another view (the ruled view, "ruled-view"): tick marks
// ("hairlines") of four lengths at the positions of a value range ("min-max") and labels with the
// values, either captions held by a companion "ui:ruler-area" or readout views made from a template,
// one per label. A maxed ruler draws inside the ruled view and can carry two end readouts
// ("readout-min", "readout-max") shown while the mouse is near them or one of them is edited.
// Everything is computed in the layout pass, which runs on every report of the ruler's own area;
// handlers only ask for such a report. The pass fires "hairlines-update", after which
// getHairlines holds the positions the graph's grid lines use.
// Owned by the object tree; label readouts are its children. UI thread, except paint, which the
// window's workers run per sector and which only reads the anchors of the last pass.
class CRuler : public CView, public CUIParamUpdateHandler {
public:
    static CObject* create();
    // The scheme of "ui:view" plus "font-name", "label-format", "label-shift", "label-size",
    // "min-max", "ruler-stepping" and the ruler's events.
    static void initScheme(CObjectScheme* scheme);
    CRuler();
    ~CRuler() override;

    // --- life cycle ---
    // Slots, targets and the attributes read once; "Invalid 'hairline-lengths' value." unless
    // "hairline-lengths" holds exactly four numbers (creation fails).
    [[nodiscard]] CError* init() override;
    // Titles, the hover timer (maxed rulers), the routing-label hint; fires "ruler-ready".
    [[nodiscard]] CError* initChilds() override;
    // The view's own handling, then the layout pass.
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    [[nodiscard]] CError* onMouseEnter() override;
    [[nodiscard]] CError* onMouseExit() override;

    // --- drawing ---
    // Fetches the hairline colour (the view's colour 0); whether the ruler draws ("is-show-hairlines").
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;

    // --- the layout pass ---
    // Places hairlines, labels and end readouts from the ruled view's rectangles and the range and
    // fires "hairlines-update". Nothing happens while the ruled view does not resolve.
    [[nodiscard]] CError* updateLayout();
    // Fills out with the window positions (along the axis, unrounded) of the visible hairlines that
    // are not minor, levels ascending; returns their count. Empty before the first pass.
    std::int32_t getHairlines(std::vector<double>& out) const;

    // --- attribute and event handlers ---
    [[nodiscard]] virtual CError* attrFontName(CAttrValue& value);
    [[nodiscard]] virtual CError* attrLabelFormat(CAttrValue& value);
    [[nodiscard]] virtual CError* attrLabelShift(CAttrValue& value);
    [[nodiscard]] virtual CError* attrLabelSize(CAttrValue& value);
    [[nodiscard]] virtual CError* attrMinMax(CAttrValue& value);
    [[nodiscard]] virtual CError* attrRulerStepping(CAttrValue& value);
    [[nodiscard]] virtual CError* onHoverUpdateTimer();
    [[nodiscard]] virtual CError* onReadoutEditboxShown();
    [[nodiscard]] virtual CError* onReadoutEditboxHidden();
    [[nodiscard]] virtual CError* onTitlesUpdate();
    [[nodiscard]] virtual CError* onUpdateHint();
    [[nodiscard]] virtual CError* onUpdateRuler();
    [[nodiscard]] CError* onRegisteredUIParamChanged(const CUIParamChangeInfo& info) override;

    // --- queries ---
    // One hairline anchor on the ruled view's edge, window pixels.
    struct CRulerPoint {
        std::int32_t x = 0, y = 0;
    };
    const std::vector<CRulerPoint>& hairlinePoints(int level) const noexcept { return mHairlinePoints[level]; }
    const CRulerScale& scale() const noexcept { return mScale; }
    const CArray<int>& hairlineLengths() const noexcept { return mHairlineLengths; }
    const CArray<CView*>& labelReadouts() const noexcept { return mLabelReadouts; }
    bool isVertical() const noexcept { return mIsVertical; }
    bool isHovered() const noexcept { return mIsHovered; }
    bool isReadoutEditing() const noexcept { return mIsReadoutEditing; }
    // The placement code of the ruler's own area (CViewArea::EPlacement).
    int placementCode() const noexcept;
    // The two ends of a hairline of level drawn from anchor p, at scale s.
    void hairlineEnds(int level, CRulerPoint p, double s, std::int32_t out[4]) const noexcept;

private:
    // Flags the ruler's area for a report at the next layout pass.
    void requestLayout();
    // Places label holder `index` (captions or readouts); false: the label is hidden.
    [[nodiscard]] CError* placeLabels(double s, const CAreaRect& total, const CAreaRect& visible, bool& showMin,
                                      bool& showMax);
    // The text of a label cut to its long or short form.
    static CString cutLabel(const CString& text, bool useShort);
    bool chooseShortLabels(double s, double width) const;
    void hideHolder(std::int32_t index);
    CRulerArea* resolveLabelArea();

    CTarget<CValueList> mAudioRoutingLabels;
    const CColor* mHairlineColor = nullptr;                       // not owned: the palette's
    std::vector<CRulerPoint> mHairlinePoints[CRulerScale::kHairlineGroupCount];
    std::vector<double> mHairlinePositions[CRulerScale::kHairlineGroupCount];
    CArray<int> mHairlineLengths;
    CString mBaseHint;
    CTarget<CObject> mHoverUpdateTimer;
    bool mIsExportChannelsToHint = false;
    bool mIsHairlineInward = false;
    bool mIsLabelReadout = false;
    bool mIsMaxed = false;
    bool mIsShowHairlines = false;
    bool mIsReadoutEditing = false;
    bool mIsHovered = false;
    bool mIsShowLabels = false;
    bool mIsUseInChannelLabels = false;
    bool mIsVertical = true;
    CTarget<CRulerArea> mLabelArea;
    CFontObject* mFont = nullptr;                                 // not owned: a font of the tree
    CString mLabelReadoutTag;
    double mLabelShift = 0.0;
    std::int32_t mLabelTextAlign = 0;
    CStringList mLabelReadoutTitles;
    double mMaxedReadoutHoverThreshold = 0.0;
    double mMaxedReadoutOffsetInside = 0.0;
    double mMaxedReadoutOffsetMax = 0.0;
    double mMaxedReadoutOffsetMin = 0.0;
    double mMaxedReadoutWidthIncr = 0.0;
    CTarget<CMinMax> mMinMax;
    CTarget<CView> mReadoutMax;
    CTarget<CView> mReadoutMaxTitle;
    CTarget<CView> mReadoutMin;
    CTarget<CView> mReadoutMinTitle;
    CArray<CView*> mLabelReadouts;                                // not owned: children, never removed
    CTarget<CView> mRuledView;
    CRulerScale mScale;
    double mRulerSize = 0.0;
    std::int32_t mScaleSlot = -1;
    std::int32_t mSteppingSlot = -1;
    CTarget<CValueList> mTitles;
};

} // namespace tal
