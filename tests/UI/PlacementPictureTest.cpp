// Pictures of a sample layout (inline rows, edge stacks, overlays, a scroller) at window scale 1 and
// 2, compared with the reference PNGs in tests/fixtures/pictures. After an intended change of the
// layout, look at the new pictures and regenerate the references with
//   TAL_UPDATE_PICTURES=1 build/release/tal_ui_tests --gtest_filter='PlacementPicture*'
// With TAL_PNG_DIR set, the pictures are also written there for viewing.
#include "UI/CViewBasePlacement.h"

#include "support/PlacementTestView.h"
#include "support/PngWriter.h"
#include "support/ViewRectPainter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

using namespace tal;

namespace {

class PlacementPicture : public CPlacementTest {
protected:
    // The sample: a header with an inline row of buttons, a footer of balanced cells, a sidebar
    // stacking its items vertically, a scrolling list with its bar, an overlay badge over the list
    // and a topmost window overlay.
    CPlacementTestView* sample() {
        CPlacementTestView* w = rootView({{"width", "320"}, {"height", "200"}, {"inner-border", "4"}});
        CPlacementTestView* header = build(w, "header", {{"placement", "top"}, {"width", "full-simple"},
                                                         {"height", "28"}, {"inline-alignment-h", "left"},
                                                         {"inner-border", "2"}});
        for (const char* name : {"b1", "b2", "b3", "b4"})
            build(header, name, {{"placement", "inline"}, {"width", "44"}, {"height", "20"}, {"outer-border", "2"}});
        CPlacementTestView* footer =
            build(w, "footer", {{"placement", "bottom"}, {"width", "full-simple"}, {"height", "22"}});
        for (const char* name : {"f1", "f2", "f3"})
            build(footer, name,
                  {{"placement", "inline"}, {"width", "balanced"}, {"height", "18"}, {"outer-border", "1"}});
        CPlacementTestView* side = build(w, "side", {{"placement", "left"}, {"width", "64"},
                                                     {"height", "full-simple"}, {"is-inline-vertical", "true"},
                                                     {"inline-alignment-v", "top"}});
        for (const char* name : {"s1", "s2", "s3"})
            build(side, name, {{"placement", "inline"}, {"width", "56"}, {"height", "24"}, {"outer-border", "2"}});
        CPlacementTestView* list = build(w, "list", {{"placement", "full"}, {"width", "100%"}, {"height", "100%"},
                                                     {"is-scrollable", "true"}, {"scroller-width", "10"},
                                                     {"is-inline-vertical", "true"}, {"inline-alignment-v", "top"},
                                                     {"outer-border", "4"}});
        build(list, "bar", {{"placement", "scroller-v"}, {"width", "10"}, {"height", "100%"}});
        for (const char* name : {"r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8"})
            build(list, name,
                  {{"placement", "inline"}, {"width", "100%"}, {"height", "18"}, {"outer-border", "T1 B1"}});
        build(w, "badge", {{"placement", "overlay"}, {"width", "50"}, {"height", "20"}, {"outer-border", "L150 T60"},
                           {"z-index", "topmost 20"}});
        build(w, "toast", {{"placement", "window-overlay"}, {"width", "120"}, {"height", "30"},
                           {"outer-border", "L180 T70"}, {"z-index", "topmost 21"}});
        EXPECT_EQ(takeError(), "");
        return w;
    }

    void checkPicture(double scale, const char* name) {
        CPlacementTestView* w = sample();
        w->area()->setWindowScale(scale, scale);
        ASSERT_EQ(w->updateLayout(), nullptr);
        const int width = int(320 * scale), height = int(200 * scale);
        ASSERT_EQ(w->lastTotal.width, width);
        const CViewRectPicture picture = paintViewRects(*w, width, height);
        writePngRaw(name, picture.pixels.data(), width, height, 4);
        // Every shown view left a colour of its own.
        std::set<std::uint32_t> colours;
        for (std::size_t i = 0; i < picture.pixels.size(); i += 4)
            colours.insert(std::uint32_t(picture.pixels[i]) | std::uint32_t(picture.pixels[i + 1]) << 8 |
                           std::uint32_t(picture.pixels[i + 2]) << 16);
        EXPECT_GE(colours.size(), 20u);
        const std::string reference = std::string(TAL_UI_PICTURE_DIR) + "/" + name + ".png";
        if (std::getenv("TAL_UPDATE_PICTURES") != nullptr) {
            ASSERT_TRUE(writePictureFile(picture, reference));
            return;
        }
        const CPictureDifference diff = compareWithPng(picture, reference, 0);
        ASSERT_TRUE(diff.loaded) << reference;
        EXPECT_EQ(diff.differing, 0) << "largest channel difference " << diff.maxDelta;
    }
};

} // namespace

TEST_F(PlacementPicture, SampleLayoutAtScale1) { checkPicture(1.0, "placement-sample-1x"); }

TEST_F(PlacementPicture, SampleLayoutAtScale2) { checkPicture(2.0, "placement-sample-2x"); }
