#include "UI/Controls/CKnobLabels.h"

#include "Core/CObjectLookups.h"
#include "Other/CColor.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/Controls/CCaption.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace tal {

namespace {

double roundHalfAway(double x) noexcept { return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x); }
// To 1/128 pixel, halves away from zero.
double snap128(double x) noexcept { return roundHalfAway(x * 128.0) / 128.0; }

} // namespace

CObject* CKnobLabels::create() { return new CKnobLabels(); }

void CKnobLabels::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addPlainEventOf<CKnobLabels, &CKnobLabels::onScaleValuesChange>(scheme, "scale-values-change");
}

CKnobLabels::~CKnobLabels() { mScaleList.reset(); }

CError* CKnobLabels::init() {
    if (CError* error = CPicture::init())
        return traceError(error, getFullName());
    if (CView* parent = parentView()) {
        mCenterX = parent->getDoubleAttr("center-x");
        mCenterY = parent->getDoubleAttr("center-y");
    }
    mLabelRadius = getDoubleAttr("label-radius");
    mUseSmallCircles = getBoolAttr("use-small-circles");
    return nullptr;
}

CError* CKnobLabels::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    mScaleList.init(this, CString(".scale"), CString(), nullptr, CString());
    mScaleList.isRequired = true;
    mScaleList.listenEvent(CString("values-changed"), CString("scale-values-change"));
    if (CError* error = onScaleValuesChange())
        return traceError(error, getFullName());
    return nullptr;
}

CError* CKnobLabels::onScaleValuesChange() {
    mIsRebuildPending = true;
    return traceError(updateLabels(), getFullName());
}

CError* CKnobLabels::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CPicture::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    return traceError(updateLabels(), getFullName());
}

void CKnobLabels::paint(CSector& sector) {
    if (!mUseSmallCircles)
        CPicture::paint(sector);
}

CError* CKnobLabels::updateLabels() {
    CValueList* list = mScaleList.resolve();
    CView* parent = parentView();
    if (list == nullptr || parent == nullptr)
        return nullptr;
    const int n = list->itemCount();
    if (mIsRebuildPending) {
        mIsRebuildPending = false;
        if (n < mLabels.count()) {
            for (int i = n; i < mLabels.count(); ++i)
                if (mLabels[i] != nullptr)
                    mLabels[i]->releaseBridged();
            mLabels.setCount(n);
        }
        for (int i = mLabels.count(); i < n; ++i) {
            if (mUseSmallCircles && i % 3 != 0) {
                mLabels.add(nullptr);
                continue;
            }
            CCaption* caption = nullptr;
            CError* error = createChild(caption, getTextAttr("label-tag"), CString("label"), true, nullptr, nullptr);
            if (error != nullptr)
                return traceError(error, getFullName());
            mLabels.add(caption);
        }
        for (int i = 0; i < mLabels.count(); ++i)
            if (mLabels[i] != nullptr)
                if (CError* error = mLabels[i]->setAttr(CString("title"), list->itemText(i), true))
                    return traceError(error, getFullName());
    }
    const int count = mLabels.count();
    if (count == 0 || area() == nullptr || parent->area() == nullptr)
        return nullptr;
    const double s = area()->windowScale();
    const CAreaRect& knob = parent->area()->totalRect();
    const CAreaRect& own = area()->totalRect();
    const double cx = roundHalfAway(snap128(knob.width * mCenterX + knob.x - own.x));
    const double cy = roundHalfAway(snap128(knob.height * mCenterY + knob.y - own.y));
    const double radius = mLabelRadius * s;
    for (int i = 0; i < count; ++i) {
        CCaption* caption = mLabels[i];
        if (caption == nullptr || caption->area() == nullptr)
            continue;
        const double f = list->itemCount() == 1 ? 0.5 : double(i) / double(count - 1);
        const double angle = (f * 0.7 + 0.15) * 2.0 * std::numbers::pi - std::numbers::pi / 2.0;
        double w = 0.0, h = 0.0;
        caption->getTextSize(w, h, true);
        const double dx = roundHalfAway(snap128(radius * std::cos(angle) + w / 2.0));
        const double dy = roundHalfAway(snap128(radius * std::sin(angle) + h / 2.0));
        caption->area()->setOuterBorderLeft(cx - dx);
        caption->area()->setOuterBorderTop(cy - dy);
    }
    return nullptr;
}

void buildKnobToneRamp(CColor& color, const double base[3]) {
    std::uint8_t entries[1024];
    for (int i = 0; i < 256; ++i) {
        const double col[3] = {base[0] * (i / 255.0), base[1] * (i / 255.0), base[2] * (i / 255.0)};
        double hsv[3];
        rgbToHSV(col, hsv);
        const double k = std::clamp((i - 193) * 0.0204081632653, 0.0, 1.0);
        hsv[1] *= 1.0 + 0.65 * (1.0 - k);
        hsv[2] *= 1.0 + 0.35 * k;
        double rgb[3];
        hsvToRGB(hsv, rgb);
        for (int c = 0; c < 3; ++c)
            entries[4 * i + c] = std::uint8_t(roundHalfAway(255.0 * std::clamp(rgb[c], 0.0, 1.0)));
        entries[4 * i + 3] = 255;
    }
    color.setToneTable(entries);
}

} // namespace tal
