#include "UI/Controls/CRuler.h"

#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Other/CFont.h"
#include "UI/CInputState.h"
#include "UI/CMinMax.h"
#include "UI/CSector.h"
#include "UI/CUIParam.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawHelpers.h"
#include "UI/Controls/CRulerArea.h"
#include "UI/Controls/RulerParsers.h"
#include "UI/Resources/CFontObject.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

constexpr double kEpsilon = 2.220446049250313e-16;

double roundHalfAway(double v) noexcept { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }
// To 1/128 pixel first, then to the pixel.
std::int32_t fineRound(double v) noexcept { return std::int32_t(roundHalfAway(roundHalfAway(v * 128.0) / 128.0)); }
bool isSame(double a, double b) noexcept { return std::fabs(a - b) <= (std::fabs(a) + std::fabs(b)) * kEpsilon; }
// p in [a, b] with the relative tolerance at both ends.
bool isWithin(double p, double a, double b) noexcept {
    return !(std::fabs(p - a) > (std::fabs(p) + std::fabs(a)) * kEpsilon && p < a) &&
           !(std::fabs(p - b) > (std::fabs(p) + std::fabs(b)) * kEpsilon && p > b);
}

template <CError* (CRuler::*Operation)(CAttrValue&)>
CError* rulerAttrThunk(CObject* object, CAttrValue* value) {
    return traceError((static_cast<CRuler*>(object)->*Operation)(*value), object->getFullName());
}

void setOpacityOf(CView* view, double opacity) {
    if (view != nullptr) view->setOpacity(opacity);
}

} // namespace

CObject* CRuler::create() { return new CRuler(); }

void CRuler::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    scheme->addAttrHandler(CString("font-name")) = &rulerAttrThunk<&CRuler::attrFontName>;
    scheme->addAttrHandler(CString("label-format")) = &rulerAttrThunk<&CRuler::attrLabelFormat>;
    scheme->addAttrHandler(CString("label-shift")) = &rulerAttrThunk<&CRuler::attrLabelShift>;
    scheme->addAttrHandler(CString("label-size")) = &rulerAttrThunk<&CRuler::attrLabelSize>;
    scheme->addAttrHandler(CString("min-max")) = &rulerAttrThunk<&CRuler::attrMinMax>;
    scheme->addAttrHandler(CString("ruler-stepping")) = &rulerAttrThunk<&CRuler::attrRulerStepping>;
    addPlainEventOf<CRuler, &CRuler::onHoverUpdateTimer>(scheme, "hover-update-timer");
    addPlainEventOf<CRuler, &CRuler::onReadoutEditboxShown>(scheme, "readout-editbox-shown");
    addPlainEventOf<CRuler, &CRuler::onReadoutEditboxHidden>(scheme, "readout-editbox-hidden");
    addPlainEventOf<CRuler, &CRuler::onTitlesUpdate>(scheme, "titles-update");
    addPlainEventOf<CRuler, &CRuler::onUpdateHint>(scheme, "update-hint");
    addPlainEventOf<CRuler, &CRuler::onUpdateRuler>(scheme, "update-ruler");
}

CRuler::CRuler() {
    mScale.power = 1.0;
    mScale.max = 1.0;
    mScale.uiScale = 1.0;
    mScale.isHideOverlappingLabels = true;
}

CRuler::~CRuler() {
    mScale.titles = nullptr;
    mScale.scaleParam = nullptr;
    mScale.lineCountParam = nullptr;
    for (CTarget<CView>* t : {&mReadoutMax, &mReadoutMaxTitle, &mReadoutMin, &mReadoutMinTitle, &mRuledView})
        t->reset();
    mMinMax.reset();
    mLabelArea.reset();
    mHoverUpdateTimer.reset();
    mAudioRoutingLabels.reset();
    mTitles.reset();
}

CError* CRuler::init() {
    if (CError* err = CView::init()) return traceError(err, getFullName());
    mScaleSlot = registerUIParam(CString(".ui-param-ruler-scale"), false);
    mSteppingSlot = registerUIParam(CString(".ui-param-ruler-stepping"), false);
    const CString update("update-ruler");
    mMinMax.init(this, CString(), update, this, CString("min-max"));
    mMinMax.listenEvent(CString("min-max-update"), update);
    struct Pair {
        CTarget<CView>* readout;
        CTarget<CView>* title;
        const char* readoutAttr;
        const char* titleAttr;
    };
    for (const Pair& p : {Pair{&mReadoutMax, &mReadoutMaxTitle, "readout-max", "readout-max-title"},
                          Pair{&mReadoutMin, &mReadoutMinTitle, "readout-min", "readout-min-title"}}) {
        p.readout->init(this, CString(), update, this, CString(p.readoutAttr));
        p.title->init(this, CString(), update, this, CString(p.titleAttr));
        p.title->listenEvent(CString("editbox-shown"), CString("readout-editbox-shown"));
        p.title->listenEvent(CString("editbox-hidden"), CString("readout-editbox-hidden"));
    }
    mRuledView.init(this, CString(), update, this, CString("ruled-view"));
    mRuledView.listenEvent(CString("view-area-update"), update);
    if (mRuledView.resolve() == nullptr && !getTextAttr("ruled-view").isEmpty())
        listenObject(resolvePath(getTextAttr("ruled-view")), CString("view-ready"), update);
    mLabelArea.init(this, CString(), CString(), this, CString("label-area-path"));
    mLabelArea.isRequired = true;
    if (!parseHairlineLengths(getTextAttr("hairline-lengths"), mHairlineLengths))
        return newError("@talstr_CRuler_init_BadHairlineLengths Invalid 'hairline-lengths' value.", getFullName());
    mIsExportChannelsToHint = getBoolAttr("is-export-channels-to-hint");
    mIsHairlineInward = getBoolAttr("is-hairline-inward");
    mIsLabelReadout = getBoolAttr("is-label-readout");
    mIsMaxed = getBoolAttr("is-maxed");
    mIsShowHairlines = getBoolAttr("is-show-hairlines");
    mIsShowLabels = getBoolAttr("is-show-labels");
    mIsUseInChannelLabels = getBoolAttr("is-use-in-channel-labels");
    mScale.isHideOverlappingLabels = getBoolAttr("is-hide-overlapping-labels");
    mScale.isLabelsLinear = getBoolAttr("is-labels-linear");
    mScale.isMirrored = getBoolAttr("is-waveform");
    mIsReadoutEditing = false;
    mIsHovered = false;
    mIsVertical = true;
    mLabelReadoutTag = getTextAttr("label-readout-tag");
    mRulerSize = getDoubleAttr("ruler-size");
    mLabelShift = getDoubleAttr("label-shift");
    mScale.labelSize = getDoubleAttr("label-size");
    mScale.lineCount = getIntAttr("line-count");
    mScale.minLabelSpacing = mScale.labelSize * 1.6;
    mMaxedReadoutHoverThreshold = getDoubleAttr("maxed-readout-hover-threshold");
    mMaxedReadoutOffsetInside = getDoubleAttr("maxed-readout-offset-inside");
    mMaxedReadoutOffsetMin = getDoubleAttr("maxed-readout-offset-min");
    mMaxedReadoutOffsetMax = getDoubleAttr("maxed-readout-offset-max");
    mMaxedReadoutWidthIncr = getDoubleAttr("maxed-readout-width-incr");
    const CString& align = getTextAttr("label-text-align");
    mLabelTextAlign = align.equals("left") ? -1 : align.equals("right") ? 1 : 0;
    return nullptr;
}

CError* CRuler::initChilds() {
    if (CError* err = CView::initChilds()) return traceError(err, getFullName());
    mTitles.init(this, CString(), CString(), this, CString("titles"));
    if (!getBoolAttr("is-ignore-titles-update"))
        mTitles.listenEvent(CString("values-changed"), CString("titles-update"));
    if (mIsMaxed) {
        mHoverUpdateTimer.init(this, CString(), CString(), this, CString("hover-update-timer"));
        mHoverUpdateTimer.isRequired = true;
        mHoverUpdateTimer.listenEvent(CString("tick"), CString("hover-update-timer"));
    }
    if (mIsExportChannelsToHint) {
        mBaseHint = getTextAttr("hint");
        mAudioRoutingLabels.init(this, CString(), CString(), this, CString("audio-routing-labels"));
        mAudioRoutingLabels.isRequired = true;
        mAudioRoutingLabels.listenEvent(CString("values-changed"), CString("update-hint"));
        if (CError* err = onUpdateHint()) return traceError(err, getFullName());
    }
    if (CError* err = fireEvent(CString("ruler-ready"), false)) return traceError(err, getFullName());
    return nullptr;
}

void CRuler::requestLayout() {
    if (CViewArea* a = area(); a != nullptr && a->solver() != nullptr) a->requestReport();
}

int CRuler::placementCode() const noexcept { return area() != nullptr ? area()->placement() : CViewArea::kPlaceNone; }

// --- handlers ---

CError* CRuler::attrFontName(CAttrValue& value) {
    const CString path = value.asText();
    if (path.isEmpty())
        return newError("@talstr_CRuler_attrFontName_Empty Attribute 'font-name' is empty", getFullName());
    auto* font = dynamic_cast<CFontObject*>(findObject(path));
    if (font == nullptr)
        return newError("@talstr_CRuler_attrFontName_NotFound Font '%1' not found.", getFullName(), path);
    if (font != mFont) {
        mFont = font;
        requestLayout();
    }
    return nullptr;
}

CError* CRuler::attrLabelFormat(CAttrValue& value) {
    const CString text = value.asText();
    if (!(text == mScale.labelFormat)) {
        mScale.labelFormat = text;
        requestLayout();
    }
    return nullptr;
}

CError* CRuler::attrLabelShift(CAttrValue& value) {
    const double v = value.asReal();
    if (!isSame(v, mLabelShift)) {
        mLabelShift = v;
        requestLayout();
    }
    return nullptr;
}

CError* CRuler::attrLabelSize(CAttrValue& value) {
    const double v = value.asReal();
    if (!isSame(v, mScale.labelSize)) {
        mScale.labelSize = v;
        requestLayout();
    }
    return nullptr;
}

CError* CRuler::attrMinMax(CAttrValue&) {
    requestLayout();
    return nullptr;
}

CError* CRuler::attrRulerStepping(CAttrValue& value) {
    if (!parseRulerStepping(value.asText(), mScale.steps))
        return newError("@talstr_CRuler_BadStepping Invalid ruler-stepping format.", getFullName());
    requestLayout();
    return nullptr;
}

CError* CRuler::onRegisteredUIParamChanged(const CUIParamChangeInfo& info) {
    if (info.slotId == mScaleSlot) requestLayout();
    if (info.slotId != mSteppingSlot || info.param == nullptr) return nullptr;
    CString text;
    info.param->getValueText(0, text, -1, info.param->currentGroup(), 0);
    CArray<CRulerStep> steps;
    if (parseRulerStepping(text, steps) && steps.count() > 0) {
        mScale.steps.clear();
        for (int i = 0; i < steps.count(); ++i) mScale.steps.add(steps[i]);
        requestLayout();
        return nullptr;
    }
    if (!parseRulerStepping(getTextAttr("ruler-stepping"), mScale.steps))
        return newError("@talstr_CRuler_BadStepping Invalid ruler-stepping format.", getFullName());
    requestLayout();
    return nullptr;
}

CError* CRuler::onReadoutEditboxShown() {
    mIsReadoutEditing = true;
    requestLayout();
    return nullptr;
}

CError* CRuler::onReadoutEditboxHidden() {
    mIsReadoutEditing = false;
    requestLayout();
    return nullptr;
}

CError* CRuler::onTitlesUpdate() {
    requestLayout();
    return nullptr;
}

CError* CRuler::onUpdateRuler() {
    requestLayout();
    return nullptr;
}

CError* CRuler::onMouseEnter() {
    if (!mIsMaxed) {
        mIsHovered = true;
        requestLayout();
    }
    return nullptr;
}

CError* CRuler::onMouseExit() {
    if (!mIsMaxed) {
        mIsHovered = false;
        requestLayout();
    }
    return nullptr;
}

CError* CRuler::onHoverUpdateTimer() {
    if (const CInputState* input = getInputState(); input != nullptr && (input->buttonL || input->buttonR)) return nullptr;
    const double t = mMaxedReadoutHoverThreshold * (area() != nullptr ? area()->windowScale() : 1.0);
    double mouse[2] = {0.0, 0.0};
    getMousePosition(mouse, false, false);
    bool isNear = false;
    for (CTarget<CView>* target : {&mReadoutMin, &mReadoutMax}) {
        CView* readout = target->resolve();
        if (readout == nullptr || readout->area() == nullptr || isNear) continue;
        const CAreaRect& r = readout->area()->clipRect();
        isNear = mouse[0] >= r.x - t && mouse[1] >= r.y - t && mouse[0] < r.x + t + r.width &&
                 mouse[1] < r.y + t + r.height;
    }
    if (isNear != mIsHovered) {
        mIsHovered = isNear;
        requestLayout();
    }
    return nullptr;
}

CError* CRuler::onUpdateHint() {
    CString hint = mBaseHint;
    CString joined;
    if (CValueList* list = mAudioRoutingLabels.resolve()) {
        const CStringList& items = list->itemTexts();
        for (int i = 0; i < items.count(); ++i) joined = i == 0 ? items[i] : CString(CString(joined, ", "), items[i].chars8());
    }
    if (joined.isEmpty()) joined = "N/A";
    const CString placeholder("%s");
    for (int at = hint.find(placeholder); at >= 0; at = hint.find(placeholder, at + joined.length()))
        hint.replace(at, placeholder.length(), joined);
    if (CError* err = setAttr(CString("hint"), hint, true)) return traceError(err, getFullName());
    return nullptr;
}

// --- the layout pass ---

CError* CRuler::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* err = CView::handleViewAreaUpdate(total, clip)) return traceError(err, getFullName());
    if (CError* err = updateLayout()) return traceError(err, getFullName());
    return nullptr;
}

CRulerArea* CRuler::resolveLabelArea() { return mLabelArea.resolve(); }

CString CRuler::cutLabel(const CString& text, bool useShort) {
    const int split = text.findChar(';');
    if (split < 0) return text;
    return useShort ? CString(text, split + 1, -1) : CString(text, 0, split);
}

bool CRuler::chooseShortLabels(double s, double width) const {
    if (!mIsUseInChannelLabels || mFont == nullptr) return true;
    for (const CRulerLabel& label : mScale.labels) {
        const CString longForm = cutLabel(label.text, false);
        if (longForm.length() < 2) continue;
        if (mIsVertical) return true;
        CCaptionText probe;
        probe.fontObject = mFont;
        probe.text = longForm;
        probe.scale = s;
        double w = 0.0, h = 0.0;
        probe.getSize(w, h, false);
        if (w > width) return true;
    }
    return false;
}

void CRuler::hideHolder(std::int32_t index) {
    if (mIsLabelReadout) {
        if (index < mLabelReadouts.count()) setOpacityOf(mLabelReadouts[index], 0.0);
    } else if (CRulerArea* labelArea = mLabelArea.cachedTarget; labelArea != nullptr) {
        if (index < labelArea->captions().count()) labelArea->captions()[index]->text = CString();
    }
}

CError* CRuler::updateLayout() {
    CView* ruled = mRuledView.resolve();
    if (ruled == nullptr || ruled->area() == nullptr || area() == nullptr) return nullptr;
    const double s = area()->windowScale();
    if (CMinMax* range = mMinMax.resolve()) {
        mScale.isLog = range->isLog();
        mScale.power = range->power();
        mScale.min = range->min();
        mScale.max = range->max();
    }
    mScale.uiScale = s;
    const CAreaRect total = ruled->area()->totalRect();
    const CAreaRect visible = ruled->area()->clipRect();
    const int placement = placementCode();
    mIsVertical = placement == CViewArea::kPlaceLeft || placement == CViewArea::kPlaceRight;
    const double thickness = mIsMaxed ? 0.0 : s * mRulerSize;
    if (mIsVertical)
        area()->setFixedWidth(thickness);
    else
        area()->setFixedHeight(thickness);
    if (mIsVertical) {
        mScale.start = 0.0;
        mScale.end = total.height - 1.0;
        mScale.visibleStart = visible.y - total.y;
        mScale.visibleEnd = visible.y - total.y + visible.height;
    } else {
        mScale.start = total.width - 1.0;
        mScale.end = 0.0;
        mScale.visibleStart = visible.x - total.x;
        mScale.visibleEnd = visible.x - total.x + visible.width;
    }
    if (mScale.lineCountParam == nullptr && !getTextAttr("line-count-ui-param").isEmpty())
        mScale.lineCountParam = dynamic_cast<CUIParam*>(findObject(getTextAttr("line-count-ui-param")));
    if (mScale.scaleParam == nullptr && hasNamedSlots() && isUIParamActive())
        mScale.scaleParam = getActiveUIParam(mScaleSlot);
    mTitles.resolve();
    mScale.titles = mTitles.cachedTarget != nullptr ? &mTitles.cachedTarget->itemTexts() : nullptr;
    mScale.buildLabels(mIsVertical);

    // Hairline anchors on the ruled view's visible edge.
    const double offset = mIsVertical ? total.y : total.x;
    const double edge = mIsVertical ? (placement == CViewArea::kPlaceRight ? visible.x + visible.width : visible.x)
                                    : (placement == CViewArea::kPlaceBottom ? visible.y + visible.height : visible.y);
    const double low = mIsVertical ? visible.y : visible.x;
    const double high = low + (mIsVertical ? visible.height : visible.width);
    for (int level = 0; level < CRulerScale::kHairlineGroupCount; ++level) {
        mHairlinePoints[level].clear();
        mHairlinePositions[level].clear();
        const CArray<CRulerHairline>& group = mScale.hairlineGroups[level];
        for (int i = 0; i < group.count(); ++i) {
            const double p = group[i].position + offset;
            if (!std::isfinite(p) || !isWithin(p, low, high)) continue;
            mHairlinePoints[level].push_back(mIsVertical ? CRulerPoint{fineRound(edge), fineRound(p)}
                                                         : CRulerPoint{fineRound(p), fineRound(edge)});
            if (!group[i].isMinor) mHairlinePositions[level].push_back(p);
        }
    }
    if (!mIsShowLabels) mScale.labels.clear();

    bool showMin = false, showMax = false;
    if (CError* err = placeLabels(s, total, visible, showMin, showMax)) return traceError(err, getFullName());
    if (CView* readout = mReadoutMin.resolve()) readout->setOpacity(showMin ? 1.0 : 0.0);
    if (CView* readout = mReadoutMax.resolve()) readout->setOpacity(showMax ? 1.0 : 0.0);
    if (CError* err = fireEvent(CString("hairlines-update"), false)) return traceError(err, getFullName());
    invalidate();
    return nullptr;
}

CError* CRuler::placeLabels(double s, const CAreaRect& total, const CAreaRect& visible, bool& showMin,
                            bool& showMax) {
    const std::int32_t count = std::int32_t(mScale.labels.size());
    // Without its label area a caption ruler places no captions (hairlines and end readouts still work).
    CRulerArea* labelArea = mIsLabelReadout ? nullptr : resolveLabelArea();
    if (mIsLabelReadout) {
        for (std::int32_t i = count; i < mLabelReadouts.count(); ++i) mLabelReadouts[i]->setOpacity(0.0);
        while (mLabelReadouts.count() < count) {
            CAttrMap init;
            init.findOrAdd("element")->value.setInt(mLabelReadouts.count());
            init.findOrAdd("opacity")->value.setInt(0);
            init.findOrAdd("title")->value.setText(CString());
            init.findOrAdd("tab-group")->value.setText(getTextAttr("tab-group"));
            if (mIsVertical) init.findOrAdd("text-alignment-v")->value.setText(CString("center"));
            init.findOrAdd("virtual-keyboard-tag")->value.setText(getTextAttr("virtual-keyboard-tag"));
            CView* readout = nullptr;
            if (CError* err = createChild(readout, mLabelReadoutTag, CString("label"), false, &init, nullptr))
                return traceError(err, getFullName());
            mLabelReadouts.add(readout);
            mLabelReadoutTitles.addEmpty();
        }
    } else if (labelArea != nullptr) {
        labelArea->resizeCaptions(count, mFont, mLabelTextAlign, mIsVertical ? 0 : -1, s);
    }

    const double w = mIsVertical ? s * mRulerSize : s * mScale.labelSize;
    const double h = mIsVertical ? s * mScale.labelSize : s * mRulerSize;
    const bool useShort = chooseShortLabels(s, w);
    const int placement = placementCode();
    const double offset = mIsVertical ? total.y : total.x;
    const double low = mIsVertical ? visible.y : visible.x;
    const double high = low + (mIsVertical ? visible.height : visible.width);
    const double k = mLabelShift * s, r = mRulerSize * s;
    double across = 0.0;
    if (mIsVertical)
        across = placement == CViewArea::kPlaceRight ? (mIsMaxed ? visible.x + visible.width - k - r : visible.x + visible.width + k)
                                                     : (mIsMaxed ? visible.x + k : visible.x - k - r);
    else
        across = placement == CViewArea::kPlaceBottom ? (mIsMaxed ? visible.y + visible.height - k - r : visible.y + visible.height + k)
                                                      : (mIsMaxed ? visible.y + k : visible.y - k - r);
    CView* readoutMin = mReadoutMin.resolve();
    CView* readoutMax = mReadoutMax.resolve();
    const CAreaRect own = area()->totalRect();
    CAreaRect unionRect;
    for (std::int32_t j = 0; j < count; ++j) {
        const CRulerLabel& label = mScale.labels[std::size_t(j)];
        const CString text = cutLabel(label.text, useShort);
        // Snap to the nearest hairline of any group.
        double q = label.position, best = 999999.0;
        for (const CArray<CRulerHairline>& group : mScale.hairlineGroups)
            for (int i = 0; i < group.count(); ++i)
                if (const double d = std::fabs(group[i].position - label.position); d < best) {
                    best = d;
                    q = group[i].position;
                }
        const double a = q + offset;
        if (!std::isfinite(a) || !isWithin(a, low, high)) {
            hideHolder(j);
            continue;
        }
        const double along = a - std::floor(mScale.labelSize * 0.5 * s);
        const double x = mIsVertical ? across : along, y = mIsVertical ? along : across;
        bool isHidden = false;
        if (mIsMaxed)
            isHidden = mIsVertical ? (y - total.y < -0.3 * h || y + h - (total.y + total.height) > 0.3 * h)
                                   : (x - total.x < -0.3 * w || x + w - (total.x + total.width) > 0.3 * w);
        if (mIsLabelReadout) {
            CView* readout = mLabelReadouts[j];
            if (!(mLabelReadoutTitles[j] == text)) {
                mLabelReadoutTitles[j] = text;
                if (CError* err = readout->setAttr(CString("title"), text, true)) return traceError(err, getFullName());
            }
            if (CViewArea* ra = readout->area()) {
                ra->setFixedWidth(w);
                ra->setFixedHeight(h);
                ra->setOuterBorderLeft(x);
                ra->setOuterBorderTop(y);
            }
            readout->setOpacity(isHidden ? 0.0 : 1.0);
        } else if (labelArea != nullptr) {
            CCaptionText& caption = *labelArea->captions()[j];
            caption.text = isHidden ? CString() : text;
            caption.scale = s;
            caption.getSize(caption.textWidth, caption.textHeight, false);
            caption.boxLeft = roundHalfAway(x);
            caption.boxTop = roundHalfAway(y);
            caption.boxWidth = roundHalfAway(w);
            caption.boxHeight = roundHalfAway(h);
            caption.rightInset = caption.rightSideGap * s;
            const CAreaRect box{caption.boxLeft, caption.boxTop, caption.boxWidth, caption.boxHeight};
            if (unionRect.width < 1e-5 || unionRect.height < 1e-5) {
                unionRect = box;
            } else if (box.width >= 1e-5 && box.height >= 1e-5) {
                const double right = std::max(unionRect.x + unionRect.width, box.x + box.width);
                const double bottom = std::max(unionRect.y + unionRect.height, box.y + box.height);
                unionRect.x = std::min(unionRect.x, box.x);
                unionRect.y = std::min(unionRect.y, box.y);
                unionRect.width = right - unionRect.x;
                unionRect.height = bottom - unionRect.y;
            }
        }
        // End readouts over the end labels.
        if (readoutMin == nullptr || readoutMax == nullptr || readoutMin->area() == nullptr ||
            readoutMax->area() == nullptr)
            continue;
        const bool isMaxEnd = isSame(label.position, mScale.start);
        const bool isMinEnd = !isMaxEnd && isSame(label.position, mScale.end);
        if (!isMaxEnd && !isMinEnd) continue;
        CView* readout = isMaxEnd ? readoutMax : readoutMin;
        double rx = x - own.x, ry = y - own.y, rw = w;
        if (mIsMaxed) {
            const double shift = (isMaxEnd ? mMaxedReadoutOffsetMax : mMaxedReadoutOffsetMin) * s;
            if (mIsVertical) {
                rx -= mMaxedReadoutOffsetInside * s;
                ry += shift;
            } else {
                ry -= mMaxedReadoutOffsetInside * s;
                rx += shift;
            }
            rw = w + mMaxedReadoutWidthIncr * s;
        }
        readout->area()->setFixedWidth(rw);
        readout->area()->setOuterBorderLeft(rx);
        readout->area()->setOuterBorderTop(ry);
        if (mIsHovered || mIsReadoutEditing) (isMaxEnd ? showMax : showMin) = true;
    }
    if (labelArea != nullptr && labelArea->area() != nullptr) {
        labelArea->area()->setFixedWidth(unionRect.width);
        labelArea->area()->setFixedHeight(unionRect.height);
        labelArea->area()->setOuterBorderLeft(unionRect.x);
        labelArea->area()->setOuterBorderTop(unionRect.y);
        labelArea->invalidate();
    }
    return nullptr;
}

std::int32_t CRuler::getHairlines(std::vector<double>& out) const {
    out.clear();
    for (const std::vector<double>& level : mHairlinePositions) out.insert(out.end(), level.begin(), level.end());
    return std::int32_t(out.size());
}

// --- drawing ---

bool CRuler::prepareDraw() {
    if (mIsShowHairlines) mHairlineColor = colorTable() != nullptr ? colorTable()->getColor(0) : nullptr;
    return mIsShowHairlines;
}

void CRuler::hairlineEnds(int level, CRulerPoint p, double s, std::int32_t out[4]) const noexcept {
    const std::int32_t o = std::int32_t(roundHalfAway(3.0 * s));
    const std::int32_t longest = std::int32_t(roundHalfAway(mHairlineLengths[3] * s));
    const std::int32_t length = std::int32_t(roundHalfAway(mHairlineLengths[level] * s));
    const std::int32_t d = mIsHairlineInward ? 0 : longest - length;
    std::int32_t x0 = p.x, y0 = p.y, x1 = p.x, y1 = p.y;
    switch (placementCode()) {
    case CViewArea::kPlaceTop:
        y0 = p.y - o - d, y1 = p.y - o - length + 1 - d;
        break;
    case CViewArea::kPlaceBottom:
        y0 = p.y + o + d, y1 = p.y + o + length - 1 + d;
        break;
    case CViewArea::kPlaceLeft:
        x0 = p.x - o - 1 - d, x1 = p.x - o - length - d;
        break;
    case CViewArea::kPlaceRight:
        x0 = p.x + o + d, x1 = p.x + o + length - 1 + d;
        break;
    default:
        break;
    }
    out[0] = x0, out[1] = y0, out[2] = x1, out[3] = y1;
}

void CRuler::paint(CSector& sector) {
    if (!mIsShowHairlines || mHairlineColor == nullptr || mHairlineLengths.count() != 4) return;
    const double s = area() != nullptr ? area()->windowScale() : 1.0;
    for (int level = 0; level < CRulerScale::kHairlineGroupCount; ++level)
        for (const CRulerPoint& p : mHairlinePoints[level]) {
            std::int32_t e[4];
            hairlineEnds(level, p, s, e);
            drawAxisLine(sector, e[0], e[1], e[2], e[3], *mHairlineColor, 255, 1.0);
        }
}

} // namespace tal
