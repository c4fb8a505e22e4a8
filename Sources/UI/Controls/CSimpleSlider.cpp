#include "UI/Controls/CSimpleSlider.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "UI/CGlobalSettings.h"
#include "UI/CParamBridge.h"
#include "UI/CSector.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamController.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawHelpers.h"
#include "UI/Controls/CMultiChangeDisplay.h"
#include "UI/Controls/EventArgs.h"
#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

namespace {

constexpr double kEpsilon = 2.2204461e-16;

double roundHalfAway(double x) noexcept { return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x); }
std::int32_t roundToInt(double x) noexcept { return std::int32_t(roundHalfAway(x)); }


// The slider's colour names: the pit, the shadow, the thumb and the thumb in its hover state.
enum { kColorPit = 0, kColorShadow, kColorBar, kColorBarHover };

} // namespace

CObject* CSimpleSlider::create() { return new CSimpleSlider(); }

void CSimpleSlider::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addAttrOf<CSimpleSlider, &CSimpleSlider::attrUiStyleShadowHidden>(scheme, "ui-style-shadow-hidden");
}

CSimpleSlider::~CSimpleSlider() {
    mMultiChangeDisplay.reset();
    mGlobalSettings.reset();
}

CError* CSimpleSlider::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mGlobalSettings.init(this, CString("ui.global-settings"), CString(), nullptr, CString());
    mGlobalSettings.isRequired = true;
    mIsHover = mIsShadowHidden = false;
    mIsVertical = getBoolAttr("is-vertical");
    mValue = 0.0;
    for (std::int32_t& item : mPitItems)
        item = addDrawItem();
    if (CViewColorTable* table = colorTable(); table != nullptr && !sharesColorTable()) {
        table->setColorName(kColorPit, CString("/CSSliderBarPit"));
        table->setColorName(kColorShadow, CString("/Shadow"));
        table->setColorName(kColorBar, CString("/CSSliderBar"));
        table->setColorName(kColorBarHover, CString("/CSSliderBar_Hover"));
    }
    return nullptr;
}

CError* CSimpleSlider::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    if (CError* error = bindControllerChildren(*this, mController, mMultiChangeDisplay))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CSimpleSlider::attrUiStyleShadowHidden() {
    mIsShadowHidden = getBoolAttr("ui-style-shadow-hidden");
    invalidate();
    return nullptr;
}

void CSimpleSlider::onUIParamActivated(CUIParam*) {
    if (CError* error = setDisabled(getBoolAttr("is-disabled"))) {
        logError(error);
        delete error;
    }
}

void CSimpleSlider::onUIParamDeactivated(CUIParam*) {
    if (CError* error = setDisabled(true)) {
        logError(error);
        delete error;
    }
}

CError* CSimpleSlider::onUIParamChanged(CUIParam* param, std::int32_t, std::int32_t) {
    if (param == nullptr)
        return nullptr;
    CUIParamValue v;
    param->getNormalizedValue(v, 0, -1);
    if (std::fabs(v[0] - mValue) > (std::fabs(v[0]) + std::fabs(mValue)) * kEpsilon) {
        mValue = v[0];
        invalidate();
    }
    return nullptr;
}

CError* CSimpleSlider::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    std::int32_t w = 0, h = 0;
    getImageSetFrameSize(*this, 0, false, true, w, h);
    mThumbWidth = w;
    mThumbHeight = h;
    const CAreaRect& area = lastTotalRect();
    mTravel = mIsVertical ? area.height - mThumbHeight : area.width - mThumbWidth;
    std::int32_t origin[2] = {0, 0};
    getAlignedImageCoords(0, false, -1, -1, 1, origin);
    mThumbOriginX = mThumbX = origin[0];
    mThumbOriginY = mThumbY = origin[1];
    if (mIsVertical)
        mThumbX += roundToInt(area.width / 2.0);
    else
        mThumbY += roundToInt(area.height / 2.0);
    std::int32_t aw = 0, ah = 0, bw = 0, bh = 0;
    getImageSetFrameSize(*this, 2, false, true, aw, ah);
    getImageSetFrameSize(*this, 4, false, true, bw, bh);
    const double a = mIsVertical ? ah : aw, b = mIsVertical ? bh : bw;
    const double length = mIsVertical ? area.height : area.width;
    const double across = mIsVertical ? area.width : area.height;
    const double starts[3] = {0.0, a, length - b};
    const double ends[3] = {a, length - b, length};
    for (int i = 0; i < 3; ++i) {
        if (mIsVertical)
            setDrawItemRect(*this, mPitItems[i], 0.0, starts[i], across, ends[i] - starts[i]);
        else
            setDrawItemRect(*this, mPitItems[i], starts[i], 0.0, ends[i] - starts[i], across);
        mPitPositions[i][0] = mThumbX;
        mPitPositions[i][1] = mThumbY;
    }
    const int axis = mIsVertical ? 1 : 0;
    mPitPositions[kPitStart][axis] += roundToInt(a / 2.0);
    mPitPositions[kPitEnd][axis] += roundToInt(length - b / 2.0);
    return nullptr;
}

bool CSimpleSlider::prepareDraw() {
    if (mIsVertical)
        mThumbY = mThumbOriginY + roundToInt(mThumbHeight / 2.0 + mValue * mTravel);
    else
        mThumbX = mThumbOriginX + roundToInt(mThumbWidth / 2.0 + mValue * mTravel);
    CViewColorTable* table = colorTable();
    const auto colorOf = [table](int index) { return table != nullptr ? table->getColor(index) : nullptr; };
    for (int i = 0; i < 3; ++i)
        drawImageSetFrame(*this, mImageDraws[kDrawPit0 + i], 2 + i, false, false, colorOf(kColorPit), 1.0);
    if (!mIsShadowHidden)
        drawImageSetFrame(*this, mImageDraws[kDrawShadow], 5, false, false, colorOf(kColorShadow), 1.0);
    else
        mImageDraws[kDrawShadow].records.clear();
    const CColor* bar = colorOf(mIsHover ? kColorBarHover : kColorBar);
    drawImageSetFrame(*this, mImageDraws[kDrawThumb], 0, false, false, bar, 1.0);
    drawImageSetFrame(*this, mImageDraws[kDrawThumbDragged], 1, false, false, bar, 1.0);
    return true;
}

void CSimpleSlider::paint(CSector& sector) {
    for (int i = 0; i < 3; ++i)
        drawImageSetItem(*this, sector, mImageDraws[kDrawPit0 + i], mPitPositions[i][0], mPitPositions[i][1],
                         mPitItems[i], false, false);
    const bool dragging = isDragActive();
    if (!dragging && !mIsShadowHidden)
        drawImageSetItem(*this, sector, mImageDraws[kDrawShadow], mThumbX, mThumbY, 1, false, false);
    drawImageSetItem(*this, sector, mImageDraws[dragging ? kDrawThumbDragged : kDrawThumb], mThumbX, mThumbY, 1, false, false);
}

CError* CSimpleSlider::updateContent() {
    std::int32_t width = 0, height = 0;
    getImageSetFrameSize(*this, 0, false, false, width, height);
    if (CError* error = setDoubleAttr(CString("compact-width"), width, true))
        return traceError(error, getFullName());
    return traceError(setDoubleAttr(CString("compact-height"), height, true), getFullName());
}

bool CSimpleSlider::hitTestThumb(double x, double y) const noexcept {
    const double cx = mThumbX - lastTotalRect().x, cy = mThumbY - lastTotalRect().y;
    return cx - 0.4 * mThumbWidth <= x && x <= cx + 0.4 * mThumbWidth && cy - 0.4 * mThumbHeight <= y &&
           y <= cy + 0.4 * mThumbHeight;
}

bool CSimpleSlider::isDragActive() const noexcept { return mController != nullptr && mController->isDragActive(); }

CError* CSimpleSlider::onMouseExit() {
    if (mIsHover) {
        mIsHover = false;
        invalidate();
    }
    return nullptr;
}

CError* CSimpleSlider::onMouseMove(CAttrMap& args) {
    const bool hover = hitTestThumb(argReal(args, "x"), argReal(args, "y"));
    if (hover != mIsHover) {
        mIsHover = hover;
        invalidate();
    }
    if (mController != nullptr)
        mController->handleMouseMove(argBool(args, "is-shift"), false, true);
    if (CMultiChangeDisplay* display = mMultiChangeDisplay.resolve())
        return traceError(display->refreshItems(), getFullName());
    return nullptr;
}

CError* CSimpleSlider::onMousePress(CAttrMap& args) {
    const double x = argReal(args, "x"), y = argReal(args, "y");
    bool multi = argBool(args, "is-alt");
    if (multi && mController != nullptr)
        if (CUIParam* param = mController->boundUIParam())
            if (param->bridge() != nullptr && !param->isSimple() && param->updateActive() && param->bridge()->isSingleGroup())
                multi = false;
    if (!hitTestThumb(x, y) || mController == nullptr)
        return nullptr;
    if (argBool(args, "is-double-click")) {
        mController->resetElements(0, 1);
        return nullptr;
    }
    mGrabOffsetX = x - (mThumbX - lastTotalRect().x);
    mGrabOffsetY = y - (mThumbY - lastTotalRect().y);
    mController->handleMousePress(CUIParamController::DragShift, 0, 1, nullptr, false, false);
    // Twice the knob's speed at sensitivity 1, whatever the controller's own sensitivity.
    CGlobalSettings* settings = mGlobalSettings.resolve();
    const double precision = settings != nullptr ? settings->dragPrecisionFactor : 1.0;
    const double pixelScale = area() != nullptr && area()->pixelRatio() > 0.0 ? area()->pixelRatio() : 1.0;
    mController->drag.valueScale = 2.0 * precision * (1.0 / pixelScale);
    if (CMultiChangeDisplay* display = mMultiChangeDisplay.resolve()) {
        if (CError* error = display->setShown(multi))
            return traceError(error, getFullName());
        if (CError* error = display->refreshItems())
            return traceError(error, getFullName());
    }
    invalidate();
    return nullptr;
}

CError* CSimpleSlider::onMouseRelease(CAttrMap&) {
    if (!isDragActive())
        return nullptr;
    mController->handleMouseRelease();
    if (CMultiChangeDisplay* display = mMultiChangeDisplay.resolve())
        if (CError* error = display->setShown(false))
            return traceError(error, getFullName());
    // The pointer comes back on the thumb where it grabbed it, although the thumb moved.
    (void)prepareDraw();
    const double x = mThumbX + mGrabOffsetX - lastTotalRect().x, y = mThumbY + mGrabOffsetY - lastTotalRect().y;
    moveMouseCursor(x, y);
    mIsHover = hitTestThumb(x, y);
    invalidate();
    return nullptr;
}

CError* CSimpleSlider::onMouseWheel(CAttrMap& args) {
    if (mController != nullptr)
        mController->handleMouseWheel(0, 1, argBool(args, "is-shift"), argReal(args, "delta"));
    return nullptr;
}

} // namespace tal
