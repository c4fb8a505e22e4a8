#include "Other/CBandColor.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

TEST(CBandColor, RebuildsOnlyWhenInputsOrTheBaseRampChange) {
    CColor base;
    base.buildToneRamp(40, 120, 200, 0.5, 0.8, 0.0);
    CBandColorArray bands;
    bands.resize(2);
    const double rgb[3] = {1.0, 0.5, 0.0};
    bands[0].update(rgb, &base, false);
    EXPECT_EQ(bands[0].color().changeCount(), 1);
    EXPECT_EQ(bands[0].color().opacity(), 0.8);
    bands[0].update(rgb, &base, false);
    EXPECT_EQ(bands[0].color().changeCount(), 1);
    base.buildToneRamp(40, 120, 200, 0.5, 0.8, 0.0);   // same colour, new ramp: rebuilds
    bands[0].update(rgb, &base, false);
    EXPECT_EQ(bands[0].color().changeCount(), 2);
    bands[0].update(rgb, &base, true);
    EXPECT_EQ(bands[0].color().changeCount(), 3);
    const double other[3] = {1.0, 0.5, 0.0000001};
    bands[0].update(other, &base, true);
    EXPECT_EQ(bands[0].color().changeCount(), 4);
}

// A black band adds no hue: the result is the base colour itself.
TEST(CBandColor, BlackInputGivesTheBaseColour) {
    CColor base;
    base.buildToneRamp(30, 160, 90, 0.5, 1.0, 0.0);
    const double black[3] = {0, 0, 0};
    for (bool luma : {false, true}) {
        SCOPED_TRACE(luma);
        CBandColor band;
        band.update(black, &base, luma);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(band.color().tone(255)[k], base.tone(255)[k], 1);
    }
}

// A band hue is added to the base hue; saturation and value come from the base.
TEST(CBandColor, BandHueShiftsTheBaseHue) {
    CColor base;
    base.buildLinearRamp(255, 0, 0);   // hue 0, full saturation and value
    CBandColor band;
    const double green[3] = {0, 1, 0};   // hue 1/3
    band.update(green, &base, false);
    EXPECT_EQ(band.color().tone(255)[0], 0);
    EXPECT_EQ(band.color().tone(255)[1], 255);
    EXPECT_EQ(band.color().tone(255)[2], 0);
    EXPECT_EQ(band.color().tone(128)[1], int(std::floor(128 / 255.0 * 255 + 0.5)));
}

// Without a base colour the input is scaled to luma 1 and clamped: a grey becomes white, and the
// channels that stay below 1 keep their ratio.
TEST(CBandColor, WithoutBaseTheLumaNormalisedInputIsUsed) {
    CBandColor grey;
    const double dimGrey[3] = {0.25, 0.25, 0.25};
    grey.update(dimGrey, nullptr, true);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(grey.color().tone(255)[k], 255);
    EXPECT_EQ(grey.color().opacity(), 1.0);

    CBandColor band;
    const double dim[3] = {0.2, 0.1, 0.05};
    band.update(dim, nullptr, true);
    const std::uint8_t* top = band.color().tone(255);
    EXPECT_EQ(top[0], 255);   // the strongest channel passes 1 and is clamped
    EXPECT_NEAR(double(top[1]) / top[2], 2.0, 0.05);
    EXPECT_GT(top[1], 0.1 * 255);   // scaled up

    CBandColor plain;
    plain.update(dim, nullptr, false);
    EXPECT_EQ(plain.color().tone(255)[0], 51);
    EXPECT_EQ(plain.color().tone(255)[1], 26);
}

} // namespace
} // namespace tal
