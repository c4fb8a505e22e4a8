#include "UI/Controls/CGradientBase.h"

#include "Core/CError.h"
#include "Core/NumberText.h"
#include "UI/CSector.h"
#include "UI/CViewDrawItem.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

void splitColor(std::int32_t value, std::uint8_t out[3]) noexcept {
    out[0] = std::uint8_t((value >> 16) & 0xff);
    out[1] = std::uint8_t((value >> 8) & 0xff);
    out[2] = std::uint8_t(value & 0xff);
}

// k at or above this saturates every byte above 0, so larger factors change nothing; the cap keeps
// byte x k inside 32 bits.
constexpr std::uint32_t kMaxFixedFactor = 256u << 16;

} // namespace

CObject* CGradientBase::create() { return new CGradientBase(); }

CError* CGradientBase::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    splitColor(parseInt(getTextAttr("color-top"), 0), mColorTop);
    splitColor(parseInt(getTextAttr("color-center"), 0), mColorCenter);
    splitColor(parseInt(getTextAttr("color-bottom"), 0), mColorBottom);
    mIsRGBMode = getBoolAttr("is-rgb-mode");
    mMultTop = getDoubleAttr("mult-top");
    mMultCenter = getDoubleAttr("mult-center");
    mMultBottom = getDoubleAttr("mult-bottom");
    return nullptr;
}

double CGradientBase::rowFactor(double f, double top, double center, double bottom) noexcept {
    const double g = 2.0 * f;
    if (f < 0.5)
        return top + g * (center - top);
    return (2.0 - g) * center + (g - 1.0) * bottom;
}

std::uint32_t CGradientBase::fixedFactor(double opacity, double factor) noexcept {
    const double k = opacity * 65536.0 * (factor - 1.0) + 65536.0;
    if (!(k > 0.0))
        return 0;   // a negative (or NaN) factor would wrap the bytes: darken to black instead
    if (k >= double(kMaxFixedFactor))
        return kMaxFixedFactor;
    return std::uint32_t(k);
}

void CGradientBase::multiplyPixels(std::uint8_t* pixels, std::int32_t count, std::uint32_t k) noexcept {
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint8_t* p = pixels + 4 * i;
        for (int c = 0; c < 3; ++c)
            p[c] = std::uint8_t(std::min<std::uint32_t>(255u, (std::uint32_t(p[c]) * k) >> 16));
    }
}

std::uint8_t CGradientBase::rowChannel(double f, std::uint8_t top, std::uint8_t center, std::uint8_t bottom) noexcept {
    const double g = 2.0 * f;
    const double value = f < 0.5 ? top * (1.0 - g) + center * g : center * (2.0 - g) + bottom * (g - 1.0);
    return std::uint8_t(std::clamp(std::floor(value + 0.5), 0.0, 255.0));
}

void CGradientBase::paint(CSector& sector) {
    const double a = cumulativeDrawOpacity();
    if (!(std::fabs(a) > 2.2204461e-16 * std::fabs(a)))
        return;
    CPixelRect rect;
    if (!drawItem(0)->intersectContext(sector, rect))
        return;
    const CPixelRect& total = drawItem(1)->fullRect;
    if (total.height <= 0)
        return;
    CLinearBitmap& target = *sector.target;
    for (std::int32_t by = rect.y; by < rect.y + rect.height; ++by) {
        const double f = double(sector.windowRect.y + by - total.y) / double(total.height);
        std::uint8_t* row = target.pixels() + std::ptrdiff_t(by) * target.stride() + 4 * std::ptrdiff_t(rect.x);
        if (mIsRGBMode) {
            std::uint8_t rgb[3];
            for (int c = 0; c < 3; ++c)
                rgb[c] = rowChannel(f, mColorTop[c], mColorCenter[c], mColorBottom[c]);
            for (std::int32_t i = 0; i < rect.width; ++i) {
                row[4 * i] = rgb[0];
                row[4 * i + 1] = rgb[1];
                row[4 * i + 2] = rgb[2];
                row[4 * i + 3] = 255;
            }
        } else {
            multiplyPixels(row, rect.width, fixedFactor(a, rowFactor(f, mMultTop, mMultCenter, mMultBottom)));
        }
    }
}

} // namespace tal
