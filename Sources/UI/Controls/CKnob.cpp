#include "UI/Controls/CKnob.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/CStringList.h"
#include "Core/NumberText.h"
#include "Core/Log.h"
#include "Other/CColorSwatch.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "UI/CDynamicPalette.h"
#include "UI/CGlobalSettings.h"
#include "UI/CParamBridge.h"
#include "UI/CParamGroupSelector.h"
#include "UI/CSector.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamController.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawHelpers.h"
#include "UI/Controls/EventArgs.h"
#include "UI/CViewStateData.h"
#include "UI/CWindowRenderer.h"
#include "UI/Controls/CKnobLabels.h"
#include "UI/Controls/CMultiChangeDisplay.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tal {

namespace {

constexpr double kEpsilon = 2.2204461e-16;
constexpr double kGlowSeconds = 0.15;

double roundHalfAway(double x) noexcept { return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x); }
std::int32_t roundToInt(double x) noexcept { return std::int32_t(roundHalfAway(x)); }
double clamp01(double x) noexcept { return std::min(1.0, std::max(0.0, x)); }
bool differs(double a, double b) noexcept { return std::fabs(a - b) > (std::fabs(a) + std::fabs(b)) * kEpsilon; }


// The ranges each layout looks up, in frameRanges order.
const char* const kLayeredRanges[] = {"KnobPointer", "KnobLight", "KnobTeeth", "KnobStatic", "KnobStaticColor"};
const char* const kCompositeRanges[] = {"Base", "Indicator", "LED", "Color", "ColorHover", "Hairlines", "HairlineZero"};
enum { kPointer = 0, kLight, kTeeth, kStatic, kStaticColor };
enum { kBase = 0, kIndicator, kLed, kColor, kColorHover, kHairlines, kHairlineZero };

} // namespace

CObject* CKnob::create() { return new CKnob(); }

void CKnob::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addAttrOf<CKnob, &CKnob::attrElement>(scheme, "element");
    addArgsEventOf<CKnob, &CKnob::onAdjustValue>(scheme, "adjust-value");
    addPlainEventOf<CKnob, &CKnob::onKnobLabelValuesChange>(scheme, "knob-label-values-change");
    addPlainEventOf<CKnob, &CKnob::onReadoutEnter>(scheme, "readout-enter");
    addPlainEventOf<CKnob, &CKnob::onReadoutExit>(scheme, "readout-exit");
    addPlainEventOf<CKnob, &CKnob::onWindowRender>(scheme, "window-render");
}

CKnob::~CKnob() {
    if (mIsRenderListening && !mRenderSender.isEmpty())
        unlistenObject(mRenderSender, CString("render"));
    mMultiChangeDisplay.reset();
    for (int i = mLinkedKnobs.count() - 1; i >= 0; --i)
        delete mLinkedKnobs[i];
    mLinkedKnobs.clear();
    mLabelValues.reset();
    mLabelMax.reset();
    mLabelMin.reset();
    mGlobalSettings.reset();
    mColorSwatch.reset();
}

// --- set-up ---

CError* CKnob::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mColorSwatch.init(this, CString(), CString(), nullptr, CString("color-swatch"));
    mColorSwatch.isRequired = true;
    mGlobalSettings.init(this, CString("ui.global-settings"), CString(), nullptr, CString());
    mGlobalSettings.isRequired = true;
    mIsReadoutHovered = mLevelMeterMode = mIsLinkedDragActive = false;
    mIsLinkInversed = getBoolAttr("is-link-inversed");
    mIsKnobLabels = getBoolAttr("is-knob-labels");
    mCenterX = getDoubleAttr("center-x");
    mCenterY = getDoubleAttr("center-y");
    mZoneStart = getDoubleAttr("zone-start");
    mZoneEnd = getDoubleAttr("zone-end");
    mInnerRadius = getDoubleAttr("inner-radius");
    mOuterRadius = getDoubleAttr("outer-radius");
    mColorIndex = getIntAttr("color-index");
    mElement = getIntAttr("element");
    mLabelMin.init(this, CString(), CString(), nullptr, CString("knob-path-label-min"));
    mLabelMax.init(this, CString(), CString(), nullptr, CString("knob-path-label-max"));
    mLabelValues.init(this, CString(), CString(), nullptr, CString("knob-path-label-values"));
    mLabelValues.listenEvent(CString("values-changed"), CString("knob-label-values-change"));
    if (CError* error = onKnobLabelValuesChange())
        return traceError(error, getFullName());
    mIsUseKnobPointerColor = getBoolAttr("is-use-knob-pointer-color");
    if (CViewColorTable* table = colorTable(); table != nullptr && !sharesColorTable()) {
        const auto setName = [table](int slot, const CString& name) {
            const CStringList& names = table->colorNames();
            if (slot >= names.count() || !(names[slot] == name))
                table->setColorName(slot, name);
        };
        setName(0, CString());
        setName(1, CString("Indicator"));
        if (mIsUseKnobPointerColor) {
            mPointerColorStamp = -1;
        } else {
            CColorSwatch* swatch = mColorSwatch.resolve();
            setName(2, CString("/") + (swatch != nullptr ? swatch->colorName(mColorIndex) : CString()));
        }
        setName(3, CString("/RulerLabelText"));
        setName(4, CString("/KnobHoverGlow"));
    }
    return nullptr;
}

CError* CKnob::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    if (CError* error = bindControllerChildren(*this, mController, mMultiChangeDisplay))
        return traceError(error, getFullName());
    return traceError(updateActivity(), getFullName());
}

bool CKnob::isEnabled() const noexcept {
    for (const CView* view = this; view != nullptr; view = view->parentView())
        if (view->isDisabled())
            return false;
    return true;
}

CError* CKnob::updateActivity() {
    const bool disabled = mElement < 0 || (mUIParam != nullptr && !mUIParam->updateActive());
    return traceError(setDisabled(disabled), getFullName());
}

CError* CKnob::onDisabledChanged() {
    if (CError* error = CView::onDisabledChanged())
        return traceError(error, getFullName());
    // A drag must not outlive the knob's ability to receive its release: end it now, so the
    // pointer comes back, the undo step is committed and the multi-change mode ends.
    if (!isEnabled() && mDragMode != KnobDragNone)
        return traceError(finishDrag(), getFullName());
    return nullptr;
}

// --- UI parameter news ---

void CKnob::onUIParamRegistered(CUIParam* param) {
    if (param != nullptr && param->getShortName().equals("ui-param"))
        mUIParam = param;
}

void CKnob::onUIParamActivated(CUIParam* param) {
    if (param != nullptr && param == mUIParam)
        if (CError* error = updateActivity()) {
            logError(error);
            delete error;
        }
}

void CKnob::onUIParamDeactivated(CUIParam* param) { onUIParamActivated(param); }

CError* CKnob::onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount) {
    if (mElement < 0 || param == nullptr || param != mUIParam)
        return nullptr;
    if (elementCount > 0 && (mElement < elementOffset || mElement > elementOffset + elementCount - 1))
        return nullptr;
    CUIParamValue v;
    mUIParam->getNormalizedValue(v, mElement, -1);
    if (differs(v[0], mValue)) {
        mValue = v[0];
        invalidate();
    }
    return nullptr;
}

CError* CKnob::attrElement() {
    const std::int32_t element = getIntAttr("element");
    if (element == mElement)
        return nullptr;
    mElement = element;
    if (CError* error = updateActivity())
        return traceError(error, getFullName());
    return traceError(onUIParamChanged(mUIParam, 0, 0), getFullName());
}

CError* CKnob::onKnobLabelValuesChange() {
    CValueList* list = mLabelValues.resolve();
    CView* minView = mLabelMin.resolve();
    CView* maxView = mLabelMax.resolve();
    if (list == nullptr || minView == nullptr || maxView == nullptr || list->itemCount() != 2)
        return nullptr;
    if (CError* error = minView->setAttr(CString("title"), list->itemText(0), true))
        return traceError(error, getFullName());
    return traceError(maxView->setAttr(CString("title"), list->itemText(1), true), getFullName());
}

// --- hover feedback ---

CError* CKnob::onReadoutEnter() {
    mIsReadoutHovered = true;
    updateHoverGlow();
    return traceError(updateKnobLabels(), getFullName());
}

CError* CKnob::onReadoutExit() {
    mIsReadoutHovered = false;
    updateHoverGlow();
    return traceError(updateKnobLabels(), getFullName());
}

CError* CKnob::onWindowRender() {
    if (mIsGlowAnimating)
        updateHoverGlow();
    return nullptr;
}

void CKnob::updateHoverGlow() {
    const bool target = mIsHovered && !mIsReadoutHovered;
    const double a = target ? 1.0 : 0.0;
    const double now = getTime();
    if (target != mGlowTarget || mGlowStart < 0.0) {
        mGlowTarget = target;
        mGlowStart = now - kGlowSeconds * (1.0 - std::fabs(a - mGlowLevel));
    }
    const double b = clamp01((now - mGlowStart) / kGlowSeconds);
    mGlowLevel = a * b + (1.0 - b) * (target ? 0.0 : 1.0);
    invalidate();
    mIsGlowAnimating = std::fabs(b - 1.0) > (std::fabs(b) + 1.0) * kEpsilon;
    updateRenderListening();
}

void CKnob::updateRenderListening() {
    if (mIsGlowAnimating && !mIsRenderListening) {
        CWindowRenderer* renderer = getWindowRenderer();
        if (renderer == nullptr)
            return;
        mRenderSender = renderer->getFullName();
        listenObject(mRenderSender, CString("render"), CString("window-render"));
        mIsRenderListening = true;
    } else if (!mIsGlowAnimating && mIsRenderListening) {
        unlistenObject(mRenderSender, CString("render"));
        mIsRenderListening = false;
    }
}

CError* CKnob::updateKnobLabels() {
    const bool wanted = (mIsHovered || mIsReadoutHovered) && isEnabled();
    if (!wanted) {
        if (mKnobLabels != nullptr) {
            mKnobLabels->releaseBridged();
            mKnobLabels = nullptr;
        }
        mIsLabelsShown = false;
        return nullptr;
    }
    CGlobalSettings* settings = mGlobalSettings.resolve();
    if (!mIsKnobLabels || mIsLabelsShown || settings == nullptr || !settings->showKnobLabels)
        return nullptr;
    if (mKnobLabels == nullptr) {
        CAttrMap initAttrs;
        initAttrs.findOrAdd("bridge")->value.setText(getTextAttr("bridge"));
        initAttrs.findOrAdd("group-selector")->value.setText(getTextAttr("group-selector"));
        initAttrs.findOrAdd("knob-label-count")->value.setInt(getIntAttr("knob-label-count"));
        CKnobLabels* labels = nullptr;
        CError* error = createChild(labels, getTextAttr("knob-labels-tag"), CString("knob-labels"), true, &initAttrs, nullptr);
        mKnobLabels = labels;
        if (error != nullptr)
            return traceError(error, getFullName());
        if (mKnobLabels == nullptr)
            return nullptr;
        if (CError* layoutError = updateLayout())
            return traceError(layoutError, getFullName());
    }
    if (area() != nullptr && mKnobLabels->area() != nullptr) {
        const CAreaRect& knob = area()->totalRect();
        const CAreaRect& labels = mKnobLabels->area()->totalRect();
        const auto q = [](double t) { return roundHalfAway(128.0 * t) / 128.0; };
        mKnobLabels->area()->setOuterBorderLeft(roundHalfAway(q(knob.x + knob.width / 2 - labels.width / 2)) - knob.x);
        mKnobLabels->area()->setOuterBorderTop(roundHalfAway(q(knob.y + knob.height / 2 - labels.height / 2)) - knob.y);
    }
    if (CError* error = mKnobLabels->setState(CString("show"), false))
        return traceError(error, getFullName());
    if (CError* error = mKnobLabels->onScaleValuesChange())
        return traceError(error, getFullName());
    mIsLabelsShown = true;
    return nullptr;
}

// --- geometry ---

CError* CKnob::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    getAlignedImageCoords(0, true, 0, 0, 1, mImagePos);
    const double w = lastTotalRect().width, h = lastTotalRect().height;
    mCenterXPx = mCenterX * w;
    mCenterYPx = mCenterY * h;
    mInnerRadiusPx = mInnerRadius * w;
    mOuterRadiusPx = mOuterRadius * w;
    mZeroMarkPos[0] = mZeroMarkPos[1] = 0;
    if (mUIParam != nullptr) {
        const double lo = mUIParam->toDisplay(0, 0.0);
        const double hi = mUIParam->toDisplay(0, 1.0);
        const double e = -lo / (hi - lo);
        if (!std::isnan(e) && !(e < 0.05) && !(e > 0.95) && !(e > 0.45 && e < 0.55)) {
            const double alpha = (225.0 - 270.0 * e) * std::numbers::pi / 180.0;
            mZeroMarkPos[0] = mImagePos[0] + roundToInt(std::cos(alpha) * mOuterRadiusPx);
            mZeroMarkPos[1] = mImagePos[1] - roundToInt(std::sin(alpha) * mOuterRadiusPx);
        }
    }
    const CImageSet* set = imageSet();
    const auto hasRange = [set](const char* name) { return set != nullptr && set->ranges().find(CString(name)) != nullptr; };
    mLayout = hasRange("KnobTeeth") ? KnobLayoutLayered : hasRange("BG") ? KnobLayoutComposite : KnobLayoutStrip;
    for (CFrameRange& range : mFrameRanges)
        range = CFrameRange();
    if (mLayout == KnobLayoutLayered) {
        for (int i = 0; i < 5; ++i)
            getFrameRange(CString(kLayeredRanges[i]), mFrameRanges[i].first, mFrameRanges[i].last);
    } else if (mLayout == KnobLayoutComposite) {
        for (int i = 0; i < 7; ++i)
            getFrameRange(CString(kCompositeRanges[i]), mFrameRanges[i].first, mFrameRanges[i].last);
    } else {
        getFrameRange(CString(), mFrameRanges[0].first, mFrameRanges[0].last);
    }
    return nullptr;
}

void CKnob::getFrameRange(const CString& name, std::int32_t& first, std::int32_t& last) {
    first = 0;
    last = -1;
    const CImageSet* set = imageSet();
    if (set == nullptr)
        return;
    CString key = name;
    if (key.isEmpty()) {
        const CViewStateData* data = stateData();
        key = data != nullptr && !data->shownLook.imageSetRange.isEmpty() ? data->shownLook.imageSetRange
                                                                          : getTextAttr("image-set-range");
    }
    if (const auto* node = set->ranges().find(key)) {
        first = node->value.first;
        last = node->value.last;
    }
}

double CKnob::pointToRadialValue(double x, double y) const noexcept {
    const double p = std::atan2(y - mCenterYPx, x - mCenterXPx) / (2.0 * std::numbers::pi) + 0.5;
    const double zs = mZoneStart, ze = mZoneEnd;
    const double span = ze + 1.0 - zs;
    if (p < zs && p > ze)
        return p > (zs + ze) / 2.0 ? 0.0 : 1.0;
    if (p <= ze)
        return (p + (1.0 - zs)) / span;
    return (p - zs) / span;
}

// --- drawing ---

std::int32_t CKnob::currentRangeOffset() {
    const CImageSet* set = imageSet();
    if (set == nullptr)
        return 0;
    const CViewStateData* data = stateData();
    const CString& name = data != nullptr && !data->shownLook.imageSetRange.isEmpty() ? data->shownLook.imageSetRange
                                                                                     : getTextAttr("image-set-range");
    return name.isEmpty() ? 0 : set->getRangeIndex(name);
}

void CKnob::requestLayer(std::int32_t index, int layer, std::int32_t x, std::int32_t y, double opacity) {
    const CImageSet* set = imageSet();
    const CImage* image = set != nullptr ? set->image(index) : nullptr;
    // Images and layers the set does not hold draw nothing.
    if (image == nullptr || layer < 0 || layer >= image->layerCount())
        return;
    CImageLayer* imageLayer = image->layer(layer);
    CViewColorTable* table = colorTable();
    const CColor* tint = nullptr;
    if (table != nullptr) {
        const int slot = imageLayer->colorIndex();
        if (slot >= 0 && slot < table->colorNames().count())
            tint = table->getColor(slot);
    }
    if (CImageDraw* draw = requestImageDraw(*this, imageLayer, tint, false, false, opacity))
        mDrawRequests.add(CKnobDrawRequest{x, y, draw});
}

void CKnob::requestFirstOf(const CFrameRange& range, std::int32_t offset, std::int32_t x, std::int32_t y, double opacity) {
    if (range.last >= range.first)
        requestLayer(range.first + offset, 0, x, y, opacity);
}

void CKnob::requestAt(const CFrameRange& range, double t, std::int32_t offset, std::int32_t x, std::int32_t y, double opacity) {
    if (range.last >= range.first)
        requestLayer(roundToInt(range.first + (range.last - range.first) * t) + offset, 0, x, y, opacity);
}

void CKnob::updatePointerColor() {
    CViewColorTable* table = colorTable();
    CDynamicPalette* palette = table != nullptr ? table->palette() : nullptr;
    if (palette == nullptr && table != nullptr && table->rootColors() != nullptr)
        palette = table->rootColors()->palette();
    if (palette == nullptr)
        return;
    CColorSwatch* swatch = mColorSwatch.resolve();
    const CString name = swatch != nullptr ? swatch->colorName(mColorIndex) : CString();
    const CColor* color = palette->getColor(name, 0.0);
    if (color == nullptr || color->changeCount() == mPointerColorStamp)
        return;
    double base[3] = {1.0, 1.0, 1.0};
    if (const std::uint8_t* top = color->tone(255))
        for (int c = 0; c < 3; ++c)
            base[c] = top[c] / 255.0;
    buildKnobToneRamp(mPointerColor, base);
    mPointerColorStamp = color->changeCount();
    table->setRawColor(2, &mPointerColor);
}

bool CKnob::prepareDraw() {
    if (mIsUseKnobPointerColor)
        updatePointerColor();
    mDrawRequests.clear();
    if (CViewColorTable* table = colorTable())
        table->refresh();
    const double v = clamp01(mValue);
    const std::int32_t x = mImagePos[0], y = mImagePos[1];
    const CImageSet* set = imageSet();
    if (mLayout == KnobLayoutLayered) {
        const CFrameRange& pointer = mFrameRanges[kPointer];
        const CFrameRange& teeth = mFrameRanges[kTeeth];
        requestFirstOf(mFrameRanges[kStatic], 0, x, y, 1.0);
        const std::int32_t cycle = teeth.last - teeth.first + 1;
        // A degenerate teeth range has no cycle and draws nothing.
        if (cycle > 0 && pointer.last >= pointer.first) {
            const std::int32_t step = roundToInt((pointer.last - pointer.first) * v) % cycle;
            requestLayer(teeth.first + step, 0, x, y, 1.0);
        }
        requestAt(pointer, v, 0, x, y, 1.0);
        requestFirstOf(mFrameRanges[kStaticColor], 0, x, y, 1.0);
        requestAt(mFrameRanges[kLight], v, 0, x, y, 1.0);
    } else if (mLayout == KnobLayoutComposite) {
        const std::int32_t o = currentRangeOffset();
        requestFirstOf(mFrameRanges[kHairlines], o, x, y, 1.0);
        if (mZeroMarkPos[0] != 0 || mZeroMarkPos[1] != 0)
            requestFirstOf(mFrameRanges[kHairlineZero], o, mZeroMarkPos[0], mZeroMarkPos[1], 1.0);
        requestLayer(o, 0, x, y, 1.0);
        if (mGlowLevel != 0.0) {
            CViewColorTable* table = colorTable();
            const CColor* glow = table != nullptr && table->colorNames().count() > 4 ? table->getColor(4) : nullptr;
            requestFirstOf(mFrameRanges[kColorHover], o, x, y, mGlowLevel * (glow != nullptr ? glow->opacity() : 1.0));
        }
        const std::int32_t d = roundToInt(mValue * 270.0);
        const double t = clamp01(double(std::fmod(double(d + 45), 10.0)) / 9.0);
        requestAt(mFrameRanges[kBase], t, o, x, y, 1.0);
        const double q = clamp01(d / 270.0);
        requestAt(mFrameRanges[kLed], q, o, x, y, 1.0);
        requestFirstOf(mFrameRanges[kColor], o, x, y, 1.0);
        requestAt(mFrameRanges[kIndicator], q, o, x, y, 1.0);
    } else if (mLayout == KnobLayoutStrip) {
        const std::int32_t o = currentRangeOffset();
        if (set != nullptr && set->imageCount() > 200)
            requestLayer(200, 0, x, y, 1.0);
        const CFrameRange& range = mFrameRanges[0];
        if (range.last >= range.first) {
            const std::int32_t i = roundToInt(range.first + (range.last - range.first) * v) + o;
            requestLayer(i, 0, x, y, 1.0);
            requestLayer(i, 1, x, y, 1.0);
        }
        requestLayer(o, 2, x, y, 1.0);
    }
    return true;
}

void CKnob::paint(CSector& sector) {
    if (sector.target == nullptr)
        return;
    const CPixelRect& window = sector.windowRect;
    for (int i = 0; i < mDrawRequests.count(); ++i) {
        const CKnobDrawRequest& request = mDrawRequests[i];
        sector.target->drawImage(*request.draw, request.x - window.x, request.y - window.y, sector.clipRect);
    }
}

// --- pointer ---

CError* CKnob::onMouseEnter() {
    if (isEnabled()) {
        resolveLinkedKnobs();
        return nullptr;
    }
    if (mIsHovered) {
        mIsHovered = false;
        updateHoverGlow();
        return traceError(updateKnobLabels(), getFullName());
    }
    return nullptr;
}

CError* CKnob::onMouseExit() {
    if (mIsHovered) {
        mIsHovered = false;
        updateHoverGlow();
    }
    if (CError* error = updateKnobLabels())
        return traceError(error, getFullName());
    if (isEnabled())
        resolveLinkedKnobs();
    return nullptr;
}

CError* CKnob::onMouseMove(CAttrMap& args) {
    if (!isEnabled())
        return nullptr;
    const double x = argReal(args, "x"), y = argReal(args, "y");
    const bool fromLevelMeter = argBool(args, "is-from-level-meter");
    const double dx = x - mCenterXPx, dy = y - mCenterYPx;
    const bool hovered = mDragMode != KnobDragNone || fromLevelMeter || mOuterRadiusPx * mOuterRadiusPx > dx * dx + dy * dy;
    if (hovered != mIsHovered) {
        mIsHovered = hovered;
        invalidate();
        updateHoverGlow();
        if (CError* error = updateKnobLabels())
            return traceError(error, getFullName());
    }
    if (mDragMode == KnobDragNone)
        return nullptr;
    const std::int32_t button = argInt(args, "button");
    const bool rightButton = button == 'R';
    const bool linkKey = rightButton || argBool(args, "is-ctrl");
    const bool multi = controllerIsMultiChange();
    const bool invertLinked = rightButton && mIsLinkInversed != mIsCtrlAtPress;
    bool levelMeterMode = false;
    if (fromLevelMeter)
        levelMeterMode = argBool(args, "is-level-meter-vertical") ? argBool(args, "is-level-meter-inverse")
                                                                   : !argBool(args, "is-level-meter-inverse");
    if (levelMeterMode != mLevelMeterMode) {
        if (mIsLinkedDragActive) {
            for (int i = 0; i < mLinkedKnobs.count(); ++i)
                if (CKnob* linked = linkedKnob(i))
                    linked->endDrag();
            mIsLinkedDragActive = false;
        }
        setLinkedDrag(true, false, multi, x, y);
        mLevelMeterMode = levelMeterMode;
    }
    setLinkedDrag(linkKey, false, multi, x, y);
    if (mMultiChangeDisplay.resolve() != nullptr) {
        const bool shown = multiChangeDisplayShown();
        for (int i = 0; i < mLinkedKnobs.count(); ++i)
            if (CKnob* linked = linkedKnob(i))
                if (CError* error = linked->showMultiChangeDisplay(shown && mIsLinkedDragActive))
                    return traceError(error, getFullName());
    }
    if (mDragMode == KnobDragLinear) {
        const bool fine = argBool(args, "is-shift") || (button == 'L' && argBool(args, "is-button-r")) ||
                          (rightButton && argBool(args, "is-button-l"));
        controllerMove(fine, mLevelMeterMode, !mIsLinkedDragActive);
    } else if (mDragMode == KnobDragRadial) {
        controllerSetDragged(pointToRadialValue(x, y));
    }
    double delta = getDragDelta();
    if (multi)
        applyDragDelta(delta);
    if (mIsLinkedDragActive && mLinkedKnobs.count() > 0) {
        if (invertLinked)
            delta = -delta;
        for (int i = 0; i < mLinkedKnobs.count(); ++i)
            if (CKnob* linked = linkedKnob(i)) {
                controllerAddUndoParam(linked->mUIParam);
                linked->applyDragDelta(delta);
            }
    }
    if (CError* error = refreshMultiChangeDisplay())
        return traceError(error, getFullName());
    for (int i = 0; i < mLinkedKnobs.count(); ++i)
        if (CKnob* linked = linkedKnob(i))
            if (CError* error = linked->refreshMultiChangeDisplay())
                return traceError(error, getFullName());
    return nullptr;
}

CError* CKnob::onMousePress(CAttrMap& args) { return traceError(pressAt(args, false), getFullName()); }

CError* CKnob::onMousePressR(CAttrMap& args) { return traceError(pressAt(args, true), getFullName()); }

CError* CKnob::pressAt(CAttrMap& args, bool rightButton) {
    if (!isEnabled())
        return nullptr;
    // A press while a drag still runs (its release was lost) ends that drag first, so that no
    // second drag starts on top of it.
    if (mDragMode != KnobDragNone)
        if (CError* error = finishDrag())
            return error;
    const double x = argReal(args, "x"), y = argReal(args, "y");
    const bool isDoubleClick = argBool(args, "is-double-click");
    const bool fromLevelMeter = argBool(args, "is-from-level-meter");
    const bool vertical = argBool(args, "is-level-meter-vertical");
    mIsCtrlAtPress = argBool(args, "is-ctrl");
    bool allChannels = argBool(args, "is-alt");
    if (allChannels && mUIParam != nullptr && mUIParam->bridge() != nullptr && mUIParam->updateActive() &&
        mUIParam->bridge()->isSingleGroup())
        allChannels = false;
    const double dx = x - mCenterXPx, dy = y - mCenterYPx;
    const double d2 = dx * dx + dy * dy;
    const bool onDisc = fromLevelMeter || mInnerRadiusPx * mInnerRadiusPx > d2;
    const bool onRing = !onDisc && mOuterRadiusPx * mOuterRadiusPx > d2;
    if (onDisc || onRing) {
        startDrag(*this, onDisc, isDoubleClick, allChannels, nullptr, onDisc && fromLevelMeter, x, y, vertical);
        setLinkedDrag(rightButton || mIsCtrlAtPress, isDoubleClick, allChannels, x, y);
    }
    if (CError* error = showMultiChangeDisplay(allChannels))
        return error;
    return refreshMultiChangeDisplay();
}

void CKnob::startDrag(CKnob& knob, bool forceLinear, bool isDoubleClick, bool allChannels, CKnob* master,
                      bool fromLevelMeter, double x, double y, bool vertical) {
    if (master == nullptr && !knob.isEnabled())
        return;
    if (knob.mElement < 0)
        return;
    if (isDoubleClick) {
        knob.controllerReset();
        return;
    }
    knob.collectChannelValues(knob.mChannelSnapshot, !allChannels);
    CGlobalSettings* settings = knob.mGlobalSettings.resolve();
    const bool radialMode = settings != nullptr && settings->radialKnobMode;
    if (forceLinear || !radialMode) {
        knob.mDragMode = KnobDragLinear;
        const CAreaRect& total = knob.area() != nullptr ? knob.area()->totalRect() : CAreaRect();
        knob.mDragStartOrigin[0] = total.x;
        knob.mDragStartOrigin[1] = total.y;
        knob.controllerPress(KnobDragLinear, master, fromLevelMeter, vertical);
    } else {
        knob.mDragMode = KnobDragRadial;
        knob.controllerPress(KnobDragRadial, nullptr, fromLevelMeter, vertical);
        knob.controllerSetDragged(knob.pointToRadialValue(x, y));
    }
    knob.mIsLinkedDragActive = false;
    knob.mLevelMeterMode = false;
    knob.resolveLinkedKnobs();
}

void CKnob::setLinkedDrag(bool start, bool isDoubleClick, bool allChannels, double x, double y) {
    if (!start) {
        if (mIsLinkedDragActive) {
            for (int i = 0; i < mLinkedKnobs.count(); ++i)
                if (CKnob* linked = linkedKnob(i))
                    linked->endDrag();
            mIsLinkedDragActive = false;
        }
        return;
    }
    if (mIsLinkedDragActive)
        return;
    mIsLinkedDragActive = true;
    // The linked knobs move by the difference made from this moment on.
    collectChannelValues(mChannelSnapshot, !allChannels);
    for (int i = 0; i < mLinkedKnobs.count(); ++i)
        if (CKnob* linked = linkedKnob(i))
            startDrag(*linked, mDragMode == KnobDragLinear, isDoubleClick, allChannels, this, false, x, y, false);
}

void CKnob::endDrag() {
    const bool wasDragging = mDragMode != KnobDragNone;
    mDragMode = KnobDragNone;
    if (wasDragging && area() != nullptr)
        controllerShiftCursorReturn(area()->totalRect().x - mDragStartOrigin[0], area()->totalRect().y - mDragStartOrigin[1]);
    controllerRelease();
    if (CError* error = onUIParamChanged(mUIParam, 0, 0)) {
        logError(error);
        delete error;
    }
    if (mIsLinkedDragActive) {
        for (int i = 0; i < mLinkedKnobs.count(); ++i)
            if (CKnob* linked = linkedKnob(i))
                linked->endDrag();
        mIsLinkedDragActive = false;
        mLevelMeterMode = false;
    }
}

CError* CKnob::finishDrag() {
    endDrag();
    if (CError* error = showMultiChangeDisplay(false))
        return traceError(error, getFullName());
    for (int i = 0; i < mLinkedKnobs.count(); ++i)
        if (CKnob* linked = linkedKnob(i))
            if (CError* error = linked->showMultiChangeDisplay(false))
                return traceError(error, getFullName());
    return nullptr;
}

CError* CKnob::onMouseRelease(CAttrMap&) {
    // A release ends a running drag whatever the enabled state: a drag left open would keep the
    // pointer hidden, the undo step open and the multi-change mode on.
    if (!isEnabled() && mDragMode == KnobDragNone)
        return nullptr;
    return traceError(finishDrag(), getFullName());
}

CError* CKnob::onMouseReleaseR(CAttrMap& args) { return traceError(onMouseRelease(args), getFullName()); }

CError* CKnob::onMouseWheel(CAttrMap& args) {
    if (!isEnabled() || mElement < 0)
        return nullptr;
    const bool fine = argBool(args, "is-shift");
    const double delta = argReal(args, "delta");
    controllerWheel(mElement, fine, delta);
    resolveLinkedKnobs();
    // Each linked knob steps its own element: linked knobs show other elements (bands) of the
    // parameter, and stepping this knob's element through them would move this knob again instead.
    if (argBool(args, "is-ctrl"))
        for (int i = 0; i < mLinkedKnobs.count(); ++i)
            if (CKnob* linked = linkedKnob(i); linked != nullptr && linked->mElement >= 0)
                linked->controllerWheel(linked->mElement, fine, delta);
    return nullptr;
}

// --- linked knobs ---

void CKnob::resolveLinkedKnobs() {
    if (mLinkedKnobs.count() > 0)
        return;
    const CString& text = getTextAttr("linked-knob");
    if (text.isEmpty())
        return;
    const CString& ownName = getFullName();
    CObject* from = parent() != nullptr ? parent() : this;
    int start = 0;
    const int length = text.length();
    for (int i = 0; i <= length; ++i) {
        if (i < length && text.charAt(i) != ' ')
            continue;
        if (i > start) {
            const CString piece = CString(text, start, i - start) + ".knob-base";
            const CString fullName = from->resolvePath(piece);
            if (!(fullName == ownName)) {
                auto* target = new CTarget<CKnob>();
                target->init(this, fullName, CString(), nullptr, CString());
                target->isRequired = true;
                mLinkedKnobs.add(target);
            }
        }
        start = i + 1;
    }
}

CKnob* CKnob::linkedKnob(int i) { return mLinkedKnobs[i]->resolve(); }

// --- channel values ---

void CKnob::collectChannelValues(CKnobChannelValues& out, bool onlyCurrent) {
    out.clear();
    if (mUIParam == nullptr || mElement < 0 || !mUIParam->isActive())
        return;
    auto* selector = dynamic_cast<CParamGroupSelector*>(mUIParam->groupSelector());
    if (selector == nullptr)
        return;
    const auto displayOf = [this](std::int32_t group) {
        CUIParamValue v;
        mUIParam->getNormalizedValue(v, mElement, group);
        return mUIParam->toDisplay(0, v[0]);
    };
    if (!onlyCurrent) {
        CParamBridge* bridge = nullptr;
        if (CError* error = findObjectByAttr(bridge, CString("show-all-channels-bridge"), false)) {
            logError(error);
            delete error;
            bridge = nullptr;
        }
        CUIParamValue plain;
        if (bridge != nullptr)
            bridge->getPlainValues(0, 0, plain);
        if (bridge != nullptr && plain[0] >= 0.5) {
            CArray<std::int32_t> groups;
            selector->getActiveGroups(groups);
            for (int i = 0; i < groups.count(); ++i) {
                const std::int32_t g = groups[i];
                if (out.groups.indexOf(g) < 0)
                    out.groups.add(g);
                out.entryGroups.add(g);
                out.entryValues.add(displayOf(g));
            }
            return;
        }
    }
    out.entryGroups.add(selector->getCurrentGroup());
    out.entryValues.add(displayOf(-1));
}

void CKnob::applyChannelValues(const CKnobChannelValues& values, bool asOneEdit) {
    if (mUIParam == nullptr || mElement < 0 || !mUIParam->isActive())
        return;
    if (asOneEdit)
        mUIParam->beginEdit(false, -1, values.groups.count() > 0 ? &values.groups : nullptr, false);
    for (int i = 0; i < values.entryGroups.count(); ++i) {
        CUIParamValue v;
        v[0] = mUIParam->fromDisplay(0, values.entryValues[i]);
        mUIParam->setNormalizedValue(mElement, values.entryGroups[i], v);
    }
    if (asOneEdit)
        mUIParam->endEdit(false);
}

double CKnob::getDragDelta() {
    if (mUIParam == nullptr || !mUIParam->isActive())
        return 0.0;
    auto* selector = dynamic_cast<CParamGroupSelector*>(mUIParam->groupSelector());
    if (selector == nullptr)
        return 0.0;
    CKnobChannelValues fresh;
    collectChannelValues(fresh, false);
    const std::int32_t g = selector->getCurrentGroup();
    const auto find = [g](const CKnobChannelValues& values) {
        for (int i = 0; i < values.entryGroups.count(); ++i)
            if (values.entryGroups[i] == g)
                return i;
        return -1;
    };
    const int a = find(mChannelSnapshot), b = find(fresh);
    if (a < 0 || b < 0)
        return 0.0;
    return fresh.entryValues[b] - mChannelSnapshot.entryValues[a];
}

void CKnob::applyDragDelta(double delta) {
    CKnobChannelValues moved;
    for (int i = 0; i < mChannelSnapshot.entryGroups.count(); ++i) {
        moved.entryGroups.add(mChannelSnapshot.entryGroups[i]);
        moved.entryValues.add(mChannelSnapshot.entryValues[i] + delta);
    }
    applyChannelValues(moved, false);
}

CError* CKnob::onAdjustValue(CAttrMap& args) {
    if (!isEnabled() || mUIParam == nullptr || !mUIParam->isActive())
        return nullptr;
    CAttrValue* text = args.findValue("delta");
    bool valid = false;
    const double delta = text != nullptr ? parseDouble(text->asText(), &valid) : 0.0;
    if (!valid || !(std::fabs(delta) > std::fabs(delta) * kEpsilon))
        return nullptr;
    CKnobChannelValues values;
    collectChannelValues(values, false);
    for (int i = 0; i < values.entryValues.count(); ++i)
        values.entryValues[i] -= delta;
    applyChannelValues(values, true);
    return nullptr;
}

} // namespace tal

namespace tal {

// --- the drag controller and the multi-change display ---

bool CKnob::controllerIsMultiChange() { return mController != nullptr && mController->isMultiChange(); }

void CKnob::controllerPress(KnobDragMode mode, CKnob* master, bool fromLevelMeter, bool vertical) {
    if (mController == nullptr)
        return;
    mController->handleMousePress(mode == KnobDragRadial ? CUIParamController::DragAbsolute : CUIParamController::DragShift,
                                  mElement, 1, master != nullptr ? master->mController : nullptr, fromLevelMeter, vertical);
}

void CKnob::controllerMove(bool fine, bool invert, bool limitToRange) {
    if (mController != nullptr)
        mController->handleMouseMove(fine, invert, limitToRange);
}

void CKnob::controllerSetDragged(double value) {
    if (mController != nullptr)
        mController->setDraggedValue(value);
}

void CKnob::controllerRelease() {
    if (mController != nullptr)
        mController->handleMouseRelease();
}

void CKnob::controllerWheel(std::int32_t element, bool fine, double delta) {
    if (mController != nullptr)
        mController->handleMouseWheel(element, 1, fine, delta);
}

void CKnob::controllerReset() {
    if (mController != nullptr)
        mController->resetElements(mElement, 1);
}

void CKnob::controllerAddUndoParam(CUIParam* param) {
    if (mController != nullptr && param != nullptr)
        mController->addUndoParam(param);
}

void CKnob::controllerShiftCursorReturn(double dx, double dy) {
    if (mController != nullptr)
        mController->drag.shiftOrigin(dx, dy);
}

bool CKnob::multiChangeDisplayShown() {
    CMultiChangeDisplay* display = mMultiChangeDisplay.resolve();
    return display != nullptr && display->isShown();
}

CError* CKnob::showMultiChangeDisplay(bool show) {
    CMultiChangeDisplay* display = mMultiChangeDisplay.resolve();
    if (display == nullptr)
        return nullptr;
    if (show) {
        CGlobalSettings* settings = mGlobalSettings.resolve();
        const std::int32_t offset = settings != nullptr && settings->showKnobLabels ? -62 : -50;
        if (CError* error = display->setIntAttr(CString("offset-y"), offset, true))
            return traceError(error, getFullName());
    }
    return traceError(display->setShown(show), getFullName());
}

CError* CKnob::refreshMultiChangeDisplay() {
    CMultiChangeDisplay* display = mMultiChangeDisplay.resolve();
    return display != nullptr ? traceError(display->refreshItems(), getFullName()) : nullptr;
}

} // namespace tal
