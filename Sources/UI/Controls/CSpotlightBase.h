#pragma once
#include "UI/CView.h"

#include <cstdint>

namespace tal {

class CColor;

// "ui:spotlight-base": lights what lies beneath it with a soft round spot of a palette colour. Each
// pixel is blended towards the light colour by a weight that falls off with the distance from the
// centre, looked up in a 101-entry table rebuilt only when the intensity changes. Centre, offsets and
// radius are numbers (layout units) or percentages, of the view's or the window's size. Owned by the
// object tree; UI thread, except paint, which reads only what prepareDraw prepared.
class CSpotlightBase : public CView {
public:
    static constexpr std::int32_t kFalloffSize = 101;

    static CObject* create();

    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;
    // Centre and radius from the attributes and the current rectangles.
    virtual void updateGeometry();

    // The weights for intensity b: entries 0..99 and the tail (entry 100).
    static void buildFalloff(double b, double falloff[kFalloffSize]) noexcept;
    // Blends the pixels of rect (bitmap coordinates) of target towards light (RGB bytes). The bitmap's
    // pixel (0, 0) lies at window position (originX, originY); the spot's centre is at (cx, cy) in
    // window pixels. Paints nothing for a radius that is not finite and above 0.
    static void lightRect(CLinearBitmap& target, const CPixelRect& rect, std::int32_t originX, std::int32_t originY,
                          double cx, double cy, double radius, const double falloff[kFalloffSize],
                          const std::uint8_t light[3]) noexcept;

    double centerX() const noexcept { return mCenterX; }
    double centerY() const noexcept { return mCenterY; }
    double radius() const noexcept { return mRadius; }
    const double* falloff() const noexcept { return mFalloff; }

private:
    // A number times the window scale, or a percentage of base.
    double readLength(const CString& text, double base) const;

    double mFalloff[kFalloffSize] = {};
    double mBrightness = 0.0;
    double mCenterX = 0.5;
    double mCenterY = 0.5;
    const CColor* mLightColor = nullptr;   // not owned: the palette's
    bool mIsGeometryDirty = true;
    double mRadius = 0.0;
    bool mUseWindowSizeCenter = false;
    double mCachedIntensity = -1.0;
    std::uint8_t mLight[3] = {255, 255, 255};   // the light's brightest tone, for paint
};

} // namespace tal
