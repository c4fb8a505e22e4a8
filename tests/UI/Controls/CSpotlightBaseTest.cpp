// The spotlight: its falloff table, the centre and radius from numbers and percentages, painting
// against a plain reference of the light formula, and the guards against radii and intensities
// outside the formula's range.
#include "UI/Controls/CSpotlightBase.h"

#include "UI/Controls/PanelTestTree.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

// The light formula evaluated directly per pixel in doubles: the falloff curve at v and at its whole
// neighbours, interpolated, truncated, and the floor of the blend.
void referenceLight(std::uint8_t* p, double px, double py, double cx, double cy, double radius, double b,
                    const std::uint8_t light[3]) {
    const auto curve = [b](int i) {
        if (i >= 100) return b * 0.0017196962734455372;
        const double e = 0.07 * i;
        return (11.768513091756 - e) * b / (0.7445819484211781 * i + 11.768513091756 + e * e * (e * e + 5.82967906616499));
    };
    const double v = (1.5 / radius) * (1.5 / radius) * 14.285714285714285 * ((px - cx) * (px - cx) + (py - cy) * (py - cy));
    const int k = int(std::floor(v));
    const double weight = k > 99 ? curve(100) : curve(k) + (curve(k + 1) - curve(k)) * (v - k);
    const double B = std::trunc(weight);
    for (int c = 0; c < 3; ++c)
        p[c] = std::uint8_t(p[c] + std::floor((light[c] - p[c]) * B / 32768.0));
}

class CSpotlightBaseTest : public CPanelTestTree {
protected:
    void SetUp() override {
        CPanelTestTree::SetUp();
        addColor("Light", "ffd8a0");
    }
};

TEST_F(CSpotlightBaseTest, FalloffStartsAtTheIntensityAndDecaysToItsTail) {
    double table[CSpotlightBase::kFalloffSize];
    CSpotlightBase::buildFalloff(32768.0, table);
    EXPECT_NEAR(table[0], 32768.0, 1e-9);
    EXPECT_NEAR(table[100], 32768.0 * 0.0017196962734455372, 1e-9);
    for (int i = 1; i < CSpotlightBase::kFalloffSize; ++i)
        EXPECT_LT(table[i], table[i - 1]) << i;
    // The tail is the formula's own value at 100, so the curve has no step there.
    const double e = 7.0;
    EXPECT_NEAR(table[100], (11.768513091756 - e) * 32768.0 / (74.45819484211781 + 11.768513091756 + e * e * (e * e + 5.82967906616499)), 1e-6);
}

TEST_F(CSpotlightBaseTest, GeometryFromNumbersAndPercentages) {
    struct Case { const char* width; const char* height; double scale; const char* cx; const char* ox; const char* radius;
                  double centerX, r; };
    for (const Case& c : {Case{"400", "200", 1.0, "40%", "0", "65%", 160.0, 260.0},
                          Case{"400", "200", 2.0, "40%", "0", "320", 320.0, 640.0},
                          Case{"100", "300", 1.0, "10", "-5", "50%", 5.0, 150.0},
                          Case{"100", "100", 1.5, "12", "", "nonsense", 18.0, 0.0}}) {
        SCOPED_TRACE(c.radius);
        auto* view = static_cast<CSpotlightBase*>(panel("ui:spotlight-base", {{"color", "Light"}, {"brightness", "1"},
            {"center-x", c.cx}, {"center-y", "25%"}, {"offset-x", c.ox}, {"radius", c.radius}}, c.width, c.height, c.scale));
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(view->prepareDraw());
        EXPECT_DOUBLE_EQ(view->centerX(), c.centerX);
        EXPECT_DOUBLE_EQ(view->centerY(), 0.25 * view->lastTotalRect().height);
        EXPECT_DOUBLE_EQ(view->radius(), c.r);
    }
}

// The shipped panel light: centre at 30% / 20% of the window and offsets of -75% of the view's own
// position, so the spot moves a quarter as fast as the panel.
TEST_F(CSpotlightBaseTest, WindowSizeCentreFollowsTheViewAtAQuarter) {
    auto* view = static_cast<CSpotlightBase*>(panel("ui:spotlight-base", {{"color", "Light"}, {"brightness", "1"},
        {"use-window-size-center", "true"}, {"center-x", "30%"}, {"center-y", "20%"}, {"offset-x", "-75%"},
        {"offset-y", "-75%"}, {"radius", "320"}}, "400", "300", 1.0, "40", "20"));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->lastTotalRect().x, 40.0);
    ASSERT_TRUE(view->prepareDraw());
    EXPECT_DOUBLE_EQ(view->centerX(), 0.3 * 400 - 0.75 * 40);
    EXPECT_DOUBLE_EQ(view->centerY(), 0.2 * 300 - 0.75 * 20);
    EXPECT_DOUBLE_EQ(view->radius(), 320.0);
}

// Painted in tiles, the panel equals the plain formula pixel for pixel, and the centre pixel takes
// the light colour exactly.
TEST_F(CSpotlightBaseTest, PaintMatchesAScalarReferenceAndTheCentreIsTheLight) {
    auto* view = static_cast<CSpotlightBase*>(panel("ui:spotlight-base", {{"color", "Light"}, {"brightness", "1"},
        {"center-x", "50%"}, {"center-y", "40%"}, {"radius", "12"}}, "60", "50", 1.0, "5", "3"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->prepareDraw());
    const std::uint8_t light[3] = {0xff, 0xd8, 0xa0};
    for (const auto& [x, y] : {std::pair{0, 0}, {32, 0}, {0, 32}, {32, 32}}) {
        auto sector = filledSector(x, y, 32, 32, 20, 90, 200);
        view->paint(*sector);
        for (std::int32_t py = 0; py < 32; ++py)
            for (std::int32_t px = 0; px < 32; ++px) {
                std::uint8_t expected[3] = {20, 90, 200};
                const std::int32_t wx = x + px, wy = y + py;
                if (wx >= 5 && wx < 60 && wy >= 3 && wy < 50)   // the view's visible part: window 55 x 47 from (5, 3)
                    referenceLight(expected, wx, wy, 5 + 27.5, 3 + 0.4 * 47, 12.0, 32768.0, light);
                const std::uint8_t* p = pixelAt(*sector, px, py);
                ASSERT_EQ(p[0], expected[0]) << wx << "," << wy;
                ASSERT_EQ(p[1], expected[1]) << wx << "," << wy;
                ASSERT_EQ(p[2], expected[2]) << wx << "," << wy;
                ASSERT_EQ(p[3], 255);
            }
    }
}

TEST_F(CSpotlightBaseTest, CentrePixelIsTheLightAndFarPixelsKeepTheTail) {
    auto* view = static_cast<CSpotlightBase*>(panel("ui:spotlight-base", {{"color", "Light"}, {"brightness", "1"},
        {"center-x", "20"}, {"center-y", "10"}, {"radius", "4"}}, "200", "20"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->prepareDraw());
    auto sector = filledSector(0, 0, 200, 20, 0, 0, 0);
    view->paint(*sector);
    const std::uint8_t* centre = pixelAt(*sector, 20, 10);
    EXPECT_EQ(centre[0], 0xff);
    EXPECT_EQ(centre[1], 0xd8);
    EXPECT_EQ(centre[2], 0xa0);
    // 150 pixels away (far beyond 1.764 radii): the tail weight, about 0.17%, floors to 0 on black
    // but still lifts a channel 255 away from the light's: never zero weight.
    EXPECT_EQ(pixelAt(*sector, 170, 10)[0], 0);
    std::uint8_t white[4] = {255, 255, 255, 255};
    CLinearBitmap one;
    delete one.setSize(1, 1, true);
    std::copy(white, white + 4, one.pixels());
    const std::uint8_t black[3] = {0, 0, 0};
    CSpotlightBase::lightRect(one, CPixelRect{0, 0, 1, 1}, 0, 0, -1000.0, 0.0, 4.0, view->falloff(), black);
    EXPECT_EQ(one.pixels()[0], 255 + ((-255 * 56) >> 15));   // B = trunc(32768 x 0.00172) = 56
}

// Radii that are 0, negative or not numbers leave the pixels alone; brightness above 1 is held at
// the light colour instead of overshooting the byte range.
TEST_F(CSpotlightBaseTest, DegenerateRadiiPaintNothingAndStrongLightsSaturate) {
    const std::uint8_t light[3] = {200, 100, 50};
    double table[CSpotlightBase::kFalloffSize];
    CSpotlightBase::buildFalloff(32768.0 * 3.0, table);
    for (const double radius : {0.0, -5.0, std::nan(""), double(INFINITY)}) {
        SCOPED_TRACE(radius);
        auto sector = filledSector(0, 0, 8, 8, 10, 20, 30);
        CSpotlightBase::lightRect(*sector->target, CPixelRect{0, 0, 8, 8}, 0, 0, 4.0, 4.0, radius, table, light);
        for (std::int32_t y = 0; y < 8; ++y)
            for (std::int32_t x = 0; x < 8; ++x)
                ASSERT_EQ(pixelAt(*sector, x, y)[0], 10);
    }
    auto sector = filledSector(0, 0, 16, 16, 10, 220, 30);
    CSpotlightBase::lightRect(*sector->target, CPixelRect{0, 0, 16, 16}, 0, 0, 8.0, 8.0, 6.0, table, light);
    for (std::int32_t y = 0; y < 16; ++y)
        for (std::int32_t x = 0; x < 16; ++x) {
            const std::uint8_t* p = pixelAt(*sector, x, y);
            // Each channel lies between where it started and the light's value.
            ASSERT_TRUE(p[0] >= 10 && p[0] <= 200) << x << "," << y;
            ASSERT_TRUE(p[1] <= 220 && p[1] >= 100) << x << "," << y;
            ASSERT_TRUE(p[2] >= 30 && p[2] <= 50) << x << "," << y;
        }
    EXPECT_EQ(pixelAt(*sector, 8, 8)[0], 200);
}

} // namespace
} // namespace tal
