// The product's main window drawn by `delmaro-tool shot` from the built description: its default,
// smallest and larger sizes at 1x and 2x, the response display's grid where the layout puts it
// (below a 34-point top bar, above a 64-point bottom bar, inside a 1-point window border), and
// reference images at 1x and 2x.
#include "Other/CLinearBitmap.h"
#include "PngFile.h"
#include "support/ReferenceImage.h"
#include "support/TempFolder.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Shot {
    std::int32_t width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    std::string colourAt(int x, int y) const {
        char text[8];
        const std::uint8_t* p = &rgb[std::size_t((y * width + x) * 3)];
        std::snprintf(text, sizeof text, "%02x%02x%02x", p[0], p[1], p[2]);
        return text;
    }
};

::testing::AssertionResult takeShot(const std::string& options, Shot& shot) {
    tal::test::TempFolder folder;
    const std::string png = folder.file("main.png");
    const tal::test::ToolRun run = tal::test::runTool(TAL_TOOL_PATH, "shot '" + png + "' " + options);
    if (run.status != 0)
        return ::testing::AssertionFailure() << run.output;
    std::string error;
    if (!delmaro_tool::readPngFile(png, shot.width, shot.height, shot.rgb, error))
        return ::testing::AssertionFailure() << error;
    return ::testing::AssertionSuccess();
}

constexpr const char* kRuler = "2a3038";   // the palette's default "Ruler" tone
constexpr double kTopBar = 34.0, kBottomBar = 64.0, kBorder = 1.0;

TEST(ProductWindowShot, OpensAtItsSizesWithTheGridBetweenTheBars) {
    struct Row {
        const char* options;
        int width, height;   // points
        double scale;
    };
    for (const Row& r : {Row{"", 790, 500, 1.0}, Row{"--scale 2", 790, 500, 2.0}, Row{"--size 658x230", 658, 230, 1.0},
                         Row{"--size 1200x700 --scale 2", 1200, 700, 2.0}, Row{"--size 400x100", 658, 230, 1.0}}) {
        SCOPED_TRACE(r.options);
        Shot shot;
        ASSERT_TRUE(takeShot(r.options, shot));
        ASSERT_EQ(shot.width, int(std::lround(r.width * r.scale)));
        ASSERT_EQ(shot.height, int(std::lround(r.height * r.scale)));
        // The display spans the window inside the border, between the bars, 20 Hz .. 20 kHz across.
        const double left = kBorder, right = r.width - kBorder;
        const double top = kBorder + kTopBar, bottom = r.height - kBorder - kBottomBar;
        auto columnOf = [&](double hz) { return left + (right - left) * std::log(hz / 20.0) / std::log(1000.0); };
        auto hasRulerNear = [&](double x, double y, bool isVertical) {
            for (int d = -1; d <= 1; ++d) {
                const int px = int(std::floor(x * r.scale)) + (isVertical ? d : 0);
                const int py = int(std::floor(y * r.scale)) + (isVertical ? 0 : d);
                if (shot.colourAt(px, py) == kRuler)
                    return true;
            }
            return false;
        };
        const double middle = (top + bottom) / 2;
        for (double hz : {100.0, 1000.0, 10000.0})
            EXPECT_TRUE(hasRulerNear(columnOf(hz), top + (bottom - top) * 0.3, true)) << hz << " Hz";
        // 0 dB lies in the middle of the symmetric gain range.
        EXPECT_TRUE(hasRulerNear((columnOf(1500.0) + columnOf(1600.0)) / 2, middle, false));
        // No grid in the bars.
        for (double y : {kBorder + kTopBar / 2, r.height - kBorder - kBottomBar / 2})
            EXPECT_NE(shot.colourAt(int(columnOf(1000.0) * r.scale), int(y * r.scale)), kRuler) << y;
    }
}

TEST(ProductWindowShot, MatchesItsReferenceImagesAt1xAnd2x) {
    for (const auto& [options, name] : {std::pair{"", "main-window-1x"}, std::pair{"--scale 2", "main-window-2x"}}) {
        SCOPED_TRACE(name);
        Shot shot;
        ASSERT_TRUE(takeShot(options, shot));
        tal::CLinearBitmap bitmap;
        ASSERT_EQ(bitmap.setSize(shot.width, shot.height, true), nullptr);
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x) {
                std::uint8_t* p = bitmap.pixel(x, y);
                std::memcpy(p, &shot.rgb[std::size_t((y * shot.width + x) * 3)], 3);
                p[3] = 255;
            }
        EXPECT_TRUE(tal::matchesReference(bitmap, name, 2, 0));
    }
}

} // namespace
