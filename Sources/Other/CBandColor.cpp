#include "Other/CBandColor.h"

#include <cmath>

namespace tal {

namespace {

int toChannel(double v) noexcept {
    const double scaled = v * 255.0;
    return int(scaled >= 0.0 ? std::floor(scaled + 0.5) : -std::floor(0.5 - scaled));
}

} // namespace

void CBandColor::update(const double rgb[3], const CColor* base, bool normaliseLumaFirst) {
    const std::int32_t baseCount = base != nullptr ? base->changeCount() : 0;
    if (base == mBase && baseCount == mBaseChangeCount && normaliseLumaFirst == mLuma && nearlyEqual(rgb[0], mInput[0])
        && nearlyEqual(rgb[1], mInput[1]) && nearlyEqual(rgb[2], mInput[2]))
        return;

    double in[3] = {rgb[0], rgb[1], rgb[2]};
    double luma = 1.0;
    if (normaliseLumaFirst)
        luma = normaliseLuma(in);
    double out[3] = {in[0], in[1], in[2]};
    double opacity = 1.0;
    if (base != nullptr) {
        double top[3] = {1.0, 1.0, 1.0};
        if (const std::uint8_t* t = base->tone(255))
            for (int c = 0; c < 3; ++c)
                top[c] = t[c] / 255.0;
        double baseHsv[3], inHsv[3];
        rgbToHSV(top, baseHsv);
        rgbToHSV(in, inHsv);
        const double inputHue = luma > 0.0 ? inHsv[0] : 0.0;
        double hue = inputHue + baseHsv[0];
        if (hue > 1.0)
            hue -= 1.0;
        const double hsv[3] = {hue, baseHsv[1], baseHsv[2]};
        hsvToRGB(hsv, out);
        opacity = base->opacity();
    }
    mColor.buildLinearRamp(toChannel(out[0]), toChannel(out[1]), toChannel(out[2]));
    mColor.setOpacity(opacity);

    mBase = base;
    mBaseChangeCount = baseCount;
    mLuma = normaliseLumaFirst;
    for (int c = 0; c < 3; ++c)
        mInput[c] = rgb[c];
}

} // namespace tal
