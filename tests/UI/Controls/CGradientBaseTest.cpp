// The gradient: its row factors and 16.16 multipliers, the multiplier and RGB modes painted over a
// window, draw opacity 0, and a negative factor that darkens instead of wrapping.
#include "UI/Controls/CGradientBase.h"

#include "UI/Controls/PanelTestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tal {
namespace {

class CGradientBaseTest : public CPanelTestTree {};

TEST_F(CGradientBaseTest, FixedFactorsFollowOpacityAndNeverGoNegative) {
    struct Case { double opacity, factor; std::uint32_t k; };
    for (const Case& c : {Case{0.5, 1.2, 72089}, Case{1.0, 1.0, 65536}, Case{0.0, 9.0, 65536},
                          Case{1.0, 0.5, 32768}, Case{1.0, -1.0, 0}, Case{0.5, -2.0, 0}}) {
        SCOPED_TRACE(c.factor);
        EXPECT_EQ(CGradientBase::fixedFactor(c.opacity, c.factor), c.k);
    }
    // Huge factors saturate rather than overflow: every non-zero byte becomes 255.
    std::uint8_t pixel[4] = {1, 128, 255, 7};
    CGradientBase::multiplyPixels(pixel, 1, CGradientBase::fixedFactor(1.0, 1e9));
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[2], 255);
    EXPECT_EQ(pixel[3], 7);
}

TEST_F(CGradientBaseTest, RowFactorsRunTopToCentreToBottom) {
    struct Case { double f, h; };
    for (const Case& c : {Case{0.0, 1.0}, Case{0.25, 1.1}, Case{0.5, 1.2}, Case{0.75, 0.95}, Case{1.0, 0.7}}) {
        SCOPED_TRACE(c.f);
        EXPECT_NEAR(CGradientBase::rowFactor(c.f, 1.0, 1.2, 0.7), c.h, 1e-12);
    }
}

// Multipliers 1.0 / 1.2 / 1.0 at draw opacity 0.5 over a grey and a bright band: each row equals a
// plain floating-point reference of 1 + a (h - 1) within one step, the middle row is scaled by
// 72089 / 65536 and bytes saturate at 255; alpha is kept.
TEST_F(CGradientBaseTest, MultiplierModeScalesEachRowLikeAScalarReference) {
    CView* view = panel("ui:gradient-base", {{"mult-top", "1.0"}, {"mult-center", "1.2"}, {"mult-bottom", "1.0"},
                                             {"draw-opacity", "0.5"}}, "16", "40");
    ASSERT_NE(view, nullptr);
    ASSERT_DOUBLE_EQ(view->cumulativeDrawOpacity(), 0.5);
    auto sector = filledSector(0, 0, 16, 40, 100, 240, 37);
    view->paint(*sector);
    for (std::int32_t y = 0; y < 40; ++y) {
        const double f = y / 40.0;
        const double h = f < 0.5 ? 1.0 + 2.0 * f * 0.2 : (2.0 - 2.0 * f) * 1.2 + (2.0 * f - 1.0);
        const double scale = 1.0 + 0.5 * (h - 1.0);
        for (std::int32_t x : {0, 15}) {
            const std::uint8_t* p = pixelAt(*sector, x, y);
            const std::uint8_t source[3] = {100, 240, 37};
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(p[c], std::min(255.0, std::floor(source[c] * scale)), 1.0) << x << "," << y << " ch " << c;
            EXPECT_EQ(p[3], 255);
        }
    }
    const std::uint8_t* middle = pixelAt(*sector, 3, 20);
    EXPECT_EQ(middle[0], (100 * 72089) >> 16);
    EXPECT_EQ(middle[1], 255);
    EXPECT_EQ(pixelAt(*sector, 3, 0)[0], 100);
}

TEST_F(CGradientBaseTest, RgbModePaintsOpaqueRowsWhateverTheDrawOpacity) {
    CView* view = panel("ui:gradient-base", {{"is-rgb-mode", "true"}, {"color-top", "0x000000"}, {"color-center", "#ff8000"},
                                             {"color-bottom", "$0000ff"}, {"draw-opacity", "0.25"}}, "8", "4");
    ASSERT_NE(view, nullptr);
    auto sector = filledSector(0, 0, 8, 4, 9, 9, 9);
    sector->backBuffer->pixels()[3] = 0;
    view->paint(*sector);
    struct Row { std::int32_t y; std::uint8_t r, g, b; };   // f = y / 4; halves round up
    for (const Row& row : {Row{0, 0, 0, 0}, Row{1, 128, 64, 0}, Row{2, 255, 128, 0}, Row{3, 128, 64, 128}}) {
        SCOPED_TRACE(row.y);
        const std::uint8_t* p = pixelAt(*sector, 5, row.y);
        EXPECT_EQ(p[0], row.r);
        EXPECT_EQ(p[1], row.g);
        EXPECT_EQ(p[2], row.b);
        EXPECT_EQ(p[3], 255);
    }
    EXPECT_EQ(pixelAt(*sector, 0, 0)[3], 255);
}

TEST_F(CGradientBaseTest, DrawOpacityZeroPaintsNothing) {
    for (const char* mode : {"false", "true"}) {
        SCOPED_TRACE(mode);
        CView* view = panel("ui:gradient-base", {{"is-rgb-mode", mode}, {"mult-top", "3"}, {"mult-center", "3"},
                                                 {"mult-bottom", "3"}, {"color-center", "0xffffff"}, {"draw-opacity", "0"}},
                            "8", "8");
        ASSERT_NE(view, nullptr);
        auto sector = filledSector(0, 0, 8, 8, 50, 60, 70);
        view->paint(*sector);
        for (std::int32_t y = 0; y < 8; ++y)
            EXPECT_EQ(pixelAt(*sector, 4, y)[0], 50);
    }
}

// Only the part of the view inside the sector is touched, and rows are measured from the view's top
// in window pixels, not from the sector's.
TEST_F(CGradientBaseTest, PaintsOnlyTheViewInsideTheSector) {
    CView* view = panel("ui:gradient-base", {{"is-rgb-mode", "true"}, {"color-top", "0x102030"}, {"color-center", "0x102030"},
                                             {"color-bottom", "0xf0f0f0"}}, "24", "26", 1.0, "4", "6");
    ASSERT_NE(view, nullptr);
    auto sector = filledSector(0, 10, 30, 20, 1, 2, 3);   // window rows 10..29; the view is rows 6..25
    view->paint(*sector);
    EXPECT_EQ(pixelAt(*sector, 3, 0)[0], 1);                              // left of the view
    EXPECT_EQ(pixelAt(*sector, 4, 0)[0], 0x10);                           // view row 4: f = 0.2
    EXPECT_EQ(pixelAt(*sector, 4, 15)[0], std::uint8_t(0.1 * 0x10 + 0.9 * 0xf0 + 0.5));   // its last row: f = 0.95
    EXPECT_EQ(pixelAt(*sector, 4, 16)[0], 1);                             // below the view
}

} // namespace
} // namespace tal
