#include "Other/CColor.h"

#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace tal {
namespace {

// L*a*b* of sRGB colours from the CIE definitions (D65), to the accuracy of the matrix used.
TEST(CColor, LabOfReferenceColours) {
    struct Case {
        double rgb[3];
        double lab[3];
    };
    const Case cases[] = {
        {{255, 255, 255}, {100.0, 0.0, 0.0}},
        {{0, 0, 0}, {0.0, 0.0, 0.0}},
        {{255, 0, 0}, {53.24, 80.09, 67.20}},
        {{0, 255, 0}, {87.73, -86.18, 83.18}},
        {{0, 0, 255}, {32.30, 79.19, -107.86}},
        {{128, 128, 128}, {53.59, 0.0, 0.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rgb[0] + 1000 * c.rgb[1] + 1e6 * c.rgb[2]);
        double lab[3];
        CColor::rgbToLab(c.rgb, lab);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(lab[k], c.lab[k], 0.1) << k;
    }
}

// The two matrices are given to four digits, so they are inverse only to about 0.1 of a step.
TEST(CColor, LabRoundTripGivesTheColourBack) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> channel(0, 255);
    for (int i = 0; i < 500; ++i) {
        const double rgb[3] = {double(channel(rng)), double(channel(rng)), double(channel(rng))};
        double lab[3], back[3];
        CColor::rgbToLab(rgb, lab);
        CColor::labToRGB(lab, back);
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(back[k], rgb[k], 0.15) << rgb[0] << " " << rgb[1] << " " << rgb[2];
    }
}

double lightnessOf(const std::uint8_t* tone) {
    const double rgb[3] = {double(tone[0]), double(tone[1]), double(tone[2])};
    double lab[3];
    CColor::rgbToLab(rgb, lab);
    return lab[0];
}

TEST(CColor, ToneRampOfContrastHalfIsLinearInLightness) {
    CColor c;
    c.buildToneRamp(69, 69, 69, 0.5, 0.75, 0.0);
    ASSERT_NE(c.toneTable(), nullptr);
    EXPECT_EQ(c.opacity(), 0.75);
    EXPECT_EQ(c.changeCount(), 1);
    const double top = lightnessOf(c.tone(255));
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c.tone(i)[3], 255);
        EXPECT_NEAR(lightnessOf(c.tone(i)), top * std::max(i, 8) / 255.0, 0.5);   // bytes round
        if (i <= 8) {
            EXPECT_EQ(0, std::memcmp(c.tone(i), c.tone(8), 4));
        }
    }
    EXPECT_EQ(c.tone(255)[0], 69);
    EXPECT_EQ(c.tone(255)[1], 69);
    EXPECT_EQ(c.tone(255)[2], 69);
}

TEST(CColor, ToneRampContrastOneAndBrightnessExtremes) {
    CColor flat;
    flat.buildToneRamp(200, 40, 90, 1.0, 1.0, 0.0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(0, std::memcmp(flat.tone(i), flat.tone(255), 4)) << i;
    EXPECT_NEAR(flat.tone(255)[0], 200, 1);
    EXPECT_NEAR(flat.tone(255)[1], 40, 1);
    EXPECT_NEAR(flat.tone(255)[2], 90, 1);

    CColor bright;
    bright.buildToneRamp(100, 100, 100, 0.5, 1.0, 200.0);
    EXPECT_EQ(bright.tone(255)[0], 255);
    EXPECT_EQ(bright.tone(255)[1], 255);
    EXPECT_EQ(bright.tone(255)[2], 255);
    CColor dark;
    dark.buildToneRamp(100, 100, 100, 0.5, 1.0, -200.0);
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(dark.tone(i)[0] == 0 && dark.tone(i)[1] == 0 && dark.tone(i)[2] == 0) << i;
    EXPECT_EQ(dark.changeCount(), 1);
    dark.buildLinearRamp(1, 2, 3);
    EXPECT_EQ(dark.changeCount(), 2);
}

TEST(CColor, LinearRampScalesTowardsBlack) {
    CColor c;
    c.buildToneRamp(1, 1, 1, 0, 0.2, 0);
    c.buildLinearRamp(255, 128, 3);
    EXPECT_EQ(c.opacity(), 1.0);
    const int channels[3] = {255, 128, 3};
    for (int i = 0; i < 256; ++i)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(c.tone(i)[k], int(std::floor(i / 255.0 * channels[k] + 0.5))) << i << " " << k;
}

TEST(CColor, HueToRGBSectors) {
    struct Case {
        double hue, r, g, b;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {{0.0, 1, 0, 0}, {1.0, 1, 0, 0}, {-3.0, 1, 0, 0}, {nan, 1, 0, 0}, {7.0, 1, 0, 0},
                          {1.0 / 6, 1, 1, 0}, {2.0 / 6, 0, 1, 0}, {0.5, 0, 1, 1}, {4.0 / 6, 0, 0, 1},
                          {5.0 / 6, 1, 0, 1}, {1.0 / 12, 1, 0.5, 0}, {7.0 / 12, 0, 0.5, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hue);
        double rgb[3];
        CColor::hueToRGB(rgb, c.hue);
        EXPECT_NEAR(rgb[0], c.r, 1e-12);
        EXPECT_NEAR(rgb[1], c.g, 1e-12);
        EXPECT_NEAR(rgb[2], c.b, 1e-12);
    }
}

TEST(CColor, HSVRoundTripAndGreys) {
    const double grey[3] = {0.4, 0.4, 0.4};
    double hsv[3];
    rgbToHSV(grey, hsv);
    EXPECT_EQ(hsv[0], 0.0);
    EXPECT_EQ(hsv[1], 0.0);
    EXPECT_EQ(hsv[2], 0.4);
    const double blue[3] = {0, 0, 1};
    rgbToHSV(blue, hsv);
    EXPECT_NEAR(hsv[0], 2.0 / 3.0, 1e-12);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 1000; ++i) {
        const double rgb[3] = {unit(rng), unit(rng), unit(rng)};
        double back[3];
        rgbToHSV(rgb, hsv);
        ASSERT_GE(hsv[0], 0.0);
        ASSERT_LE(hsv[0], 1.0);
        hsvToRGB(hsv, back);
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(back[k], rgb[k], 1e-12);
    }
}

TEST(CColor, RecordRoundTripsAndAlphaIsSet) {
    std::vector<std::uint8_t> bytes(776);
    double opacity = 0.625;
    std::memcpy(bytes.data(), &opacity, 8);
    for (int i = 0; i < 768; ++i)
        bytes[8 + std::size_t(i)] = std::uint8_t(i * 7 + 3);
    CColor c;
    CMemoryReader in(bytes.data(), 776);
    ASSERT_EQ(c.read(in), nullptr);
    EXPECT_EQ(c.opacity(), 0.625);
    EXPECT_EQ(c.changeCount(), 0);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(c.tone(i)[0], bytes[8 + std::size_t(i)]);
        EXPECT_EQ(c.tone(i)[2], bytes[8 + 512 + std::size_t(i)]);
        EXPECT_EQ(c.tone(i)[3], 255);
    }
    CWriteSeqBuffer out;
    ASSERT_EQ(c.write(out), nullptr);
    ASSERT_EQ(out.getSize(), 776);
    std::vector<std::uint8_t> written(776);
    out.copyTo(written.data());
    EXPECT_EQ(written, bytes);

    // A short record fails and leaves the table as it was.
    CColor kept;
    kept.buildLinearRamp(10, 20, 30);
    CMemoryReader shortIn(bytes.data(), 500);
    CError* err = kept.read(shortIn);
    ASSERT_NE(err, nullptr);
    delete err;
    EXPECT_EQ(kept.tone(255)[0], 10);
    EXPECT_EQ(kept.tone(255)[2], 30);
}

TEST(CColor, CopiesOwnTheirTables) {
    CColor a;
    a.buildLinearRamp(200, 100, 50);
    CColor b = a;
    a.buildLinearRamp(1, 1, 1);
    EXPECT_EQ(b.tone(255)[0], 200);
    CColor moved = std::move(b);
    EXPECT_EQ(moved.tone(255)[1], 100);
    EXPECT_EQ(b.toneTable(), nullptr);
}

} // namespace
} // namespace tal
