// `delmaro-tool shot --popup` on tests/fixtures/shot/popup.xml: the knob (30, 30, 30 x 30 points in
// the window) opens an 80 x 50 popup below it, centred on it (window points 5..85, 60..110), whose
// item (10, 10, 40 x 20 in the popup) cancels the popup's debug highlight. The popup is drawn over
// the main window where it lies on the screen, at 1x and 2x, and matches the reference images
// tests/fixtures/shot-popup-1x.png and shot-popup-2x.png (regenerate with TAL_UPDATE_REFERENCES=1
// after looking at the new pictures).
#include "Other/CLinearBitmap.h"
#include "PngFile.h"
#include "support/ReferenceImage.h"
#include "support/TempFolder.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kPopupWindow = std::string(TAL_SHOT_FIXTURES) + "/shot/popup.xml";

TEST(ShotPopup, AnOpenPopupIsDrawnWhereItLiesAt1xAnd2x) {
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        tal::test::TempFolder folder;
        const std::string png = folder.file("popup.png");
        const tal::test::ToolRun run = tal::test::runTool(
            TAL_TOOL_PATH, "shot '" + png + "' --description '" + kPopupWindow + "' --popup panel.knob --scale " +
                               std::to_string(scale));
        ASSERT_EQ(run.status, 0) << run.output;
        std::int32_t w = 0, h = 0;
        std::vector<std::uint8_t> rgb;
        std::string error;
        ASSERT_TRUE(delmaro_tool::readPngFile(png, w, h, rgb, error)) << error;
        ASSERT_EQ(w, 240 * scale);
        auto at = [&](double x, double y) {
            char text[8];
            const std::uint8_t* p = &rgb[std::size_t((int(y * scale) * w + int(x * scale)) * 3)];
            std::snprintf(text, sizeof text, "%02x%02x%02x", p[0], p[1], p[2]);
            return std::string(text);
        };
        EXPECT_EQ(at(7, 62), "ffff40");     // the popup's highlight, left of the panel's edge
        EXPECT_EQ(at(30, 75), "000000");    // its item
        EXPECT_EQ(at(80, 105), "ffff40");   // below the panel, inside the popup
        EXPECT_EQ(at(90, 105), "000000");   // right of the popup, below the panel
        EXPECT_EQ(at(3, 62), "000000");     // left of the popup
        tal::CLinearBitmap bitmap;
        ASSERT_EQ(bitmap.setSize(w, h, true), nullptr);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint8_t* p = bitmap.pixel(x, y);
                std::memcpy(p, &rgb[std::size_t((y * w + x) * 3)], 3);
                p[3] = 255;
            }
        EXPECT_TRUE(tal::matchesReference(bitmap, scale == 1 ? "shot-popup-1x" : "shot-popup-2x", 0, 0));
    }
}

} // namespace
