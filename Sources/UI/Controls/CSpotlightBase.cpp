#include "UI/Controls/CSpotlightBase.h"

#include "Core/CError.h"
#include "Core/NumberText.h"
#include "Other/CColor.h"
#include "UI/CDynamicPalette.h"
#include "UI/CSector.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawItem.h"

#include <algorithm>
#include <cmath>

namespace tal {

CObject* CSpotlightBase::create() { return new CSpotlightBase(); }

CError* CSpotlightBase::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mCenterX = 0.5;
    mCenterY = 0.5;
    mIsGeometryDirty = true;
    mCachedIntensity = -1.0;
    mBrightness = getDoubleAttr("brightness");
    // The palette is set on the root view's colour table.
    CDynamicPalette* palette = rootView() != nullptr && rootView()->colorTable() != nullptr
                                   ? rootView()->colorTable()->palette() : nullptr;
    mLightColor = palette != nullptr ? palette->getColor(getTextAttr("color"), 0.0) : nullptr;
    mUseWindowSizeCenter = getBoolAttr("use-window-size-center");
    return nullptr;
}

CError* CSpotlightBase::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    mIsGeometryDirty = true;
    return nullptr;
}

double CSpotlightBase::readLength(const CString& text, double base) const {
    const int n = text.length();
    if (n > 0 && text.charAt(n - 1) == '%')
        return parsePercent(text) * base;
    return parseDouble(text) * (area() != nullptr ? area()->windowScale() : 1.0);
}

void CSpotlightBase::updateGeometry() {
    const CAreaRect& total = lastTotalRect();
    double width = total.width, height = total.height;
    if (mUseWindowSizeCenter && rootView() != nullptr) {
        width = rootView()->lastTotalRect().width;
        height = rootView()->lastTotalRect().height;
    }
    mCenterX = readLength(getTextAttr("center-x"), width) + readLength(getTextAttr("offset-x"), total.x);
    mCenterY = readLength(getTextAttr("center-y"), height) + readLength(getTextAttr("offset-y"), total.y);
    mRadius = readLength(getTextAttr("radius"), std::max(total.width, total.height));
}

void CSpotlightBase::buildFalloff(double b, double falloff[kFalloffSize]) noexcept {
    for (int i = 0; i < kFalloffSize - 1; ++i) {
        const double e = 0.07 * i;
        falloff[i] = (11.768513091756 - e) * b /
                     (0.7445819484211781 * i + 11.768513091756 + e * e * (e * e + 5.82967906616499));
    }
    falloff[kFalloffSize - 1] = b * 0.0017196962734455372;
}

bool CSpotlightBase::prepareDraw() {
    if (mIsGeometryDirty) {
        mIsGeometryDirty = false;
        updateGeometry();
    }
    const double opacity = mLightColor != nullptr ? mLightColor->opacity() : 0.0;
    const double b = opacity * 32768.0 * mBrightness;
    if (std::fabs(b - mCachedIntensity) > 2.2204461e-16 * (std::fabs(b) + std::fabs(mCachedIntensity))) {
        mCachedIntensity = b;
        buildFalloff(b, mFalloff);
    }
    const std::uint8_t* tone = mLightColor != nullptr ? mLightColor->tone(255) : nullptr;
    for (int c = 0; c < 3; ++c)
        mLight[c] = tone != nullptr ? tone[c] : 255;
    return true;
}

void CSpotlightBase::lightRect(CLinearBitmap& target, const CPixelRect& rect, std::int32_t originX,
                               std::int32_t originY, double cx, double cy, double radius,
                               const double falloff[kFalloffSize], const std::uint8_t light[3]) noexcept {
    if (!std::isfinite(radius) || !(radius > 0.0))
        return;
    const double scale = (1.5 / radius) * (1.5 / radius) * 14.285714285714285;
    const std::int32_t lr = light[0], lg = light[1], lb = light[2];
    for (std::int32_t by = rect.y; by < rect.y + rect.height; ++by) {
        const double dy = double(originY + by) - cy;
        const double dy2 = dy * dy;
        std::uint8_t* p = target.pixels() + std::ptrdiff_t(by) * target.stride() + 4 * std::ptrdiff_t(rect.x);
        double dx = double(originX + rect.x) - cx;
        for (std::int32_t i = 0; i < rect.width; ++i, dx += 1.0, p += 4) {
            const double v = scale * (dx * dx + dy2);
            double weight;
            if (!(v < 100.0)) {   // also far beyond the table, or NaN
                weight = falloff[kFalloffSize - 1];
            } else {
                const std::int32_t k = std::int32_t(v);   // v >= 0 here
                weight = falloff[k] + (falloff[k + 1] - falloff[k]) * (v - k);
            }
            const std::int32_t B = std::int32_t(std::clamp(weight, 0.0, 32768.0));
            p[0] = std::uint8_t(p[0] + (((lr - p[0]) * B) >> 15));
            p[1] = std::uint8_t(p[1] + (((lg - p[1]) * B) >> 15));
            p[2] = std::uint8_t(p[2] + (((lb - p[2]) * B) >> 15));
        }
    }
}

void CSpotlightBase::paint(CSector& sector) {
    CPixelRect rect;
    if (!drawItem(0)->intersectContext(sector, rect))
        return;
    const CPixelRect& total = drawItem(1)->fullRect;
    lightRect(*sector.target, rect, sector.windowRect.x, sector.windowRect.y, total.x + mCenterX,
              total.y + mCenterY, mRadius, mFalloff, mLight);
}

} // namespace tal
