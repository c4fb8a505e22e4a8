// The picture: alignments (exact, case-sensitive words), the crop inset, tiling in both directions,
// the compact size from its image, and a picture without an image set.
#include "UI/Controls/CPicture.h"

#include "Other/CImage.h"
#include "UI/CViewArea.h"
#include "UI/CViewDrawItem.h"
#include "UI/Controls/PanelTestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tal {
namespace {

class CPictureTest : public CPanelTestTree {
protected:
    void SetUp() override {
        CPanelTestTree::SetUp();
        addColor("Logo", "f0c040");
        // Frame 0: a 6 x 4 solid block.
        CImageSet set;
        auto* image = new CImage;
        image->addLayer(coverageLayer(0, 6, 4, 1.0, 255, [](int, int) { return std::uint8_t(255); }));
        set.setImage(0, image);
        set.setRange(CString(""), 0, 1);
        addImageSet("logo", set);
    }
    CPicture* picture(std::vector<std::pair<const char*, const char*>> attrs, double scale = 1.0) {
        attrs.insert(attrs.begin(), {{"image-set", "shared::is.logo"}, {"color", "Logo"}});
        return static_cast<CPicture*>(panel("ui:picture", attrs, "20", "10", scale));
    }
    // The inked pixels of a 20 x 10 paint as rows of '#' and '.'.
    std::string paintMask(CPicture* view) {
        EXPECT_TRUE(view->prepareDraw());
        sharedData->prepareImages(0);
        auto sector = filledSector(0, 0, 20, 10, 0, 0, 0);
        view->paint(*sector);
        std::string mask;
        for (std::int32_t y = 0; y < 10; ++y) {
            for (std::int32_t x = 0; x < 20; ++x)
                mask += pixelAt(*sector, x, y)[0] != 0 ? '#' : '.';
            mask += '\n';
        }
        return mask;
    }
};

TEST_F(CPictureTest, AlignmentPlacesTheImageInItsRectangle) {
    struct Case { const char* h; const char* v; std::int32_t x, y; };
    for (const Case& c : {Case{"", "", 0, 0}, Case{"center", "center", 7, 3}, Case{"right", "bottom", 14, 6},
                          Case{"Right", "Bottom", 0, 0}, Case{"left", "top", 0, 0}}) {
        SCOPED_TRACE(std::string(c.h) + "/" + c.v);
        CPicture* view = picture({{"crop", "0"}, {"pic-alignment-h", c.h}, {"pic-alignment-v", c.v}});
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->imageX(), c.x);
        EXPECT_EQ(view->imageY(), c.y);
    }
}

// A crop of 2 at top and bottom insets by 2 layout units at each end, 4 pixels at window scale 2;
// tiling along y then repeats the image from its position but leaves the insets empty.
TEST_F(CPictureTest, CropInsetsTheDrawingAndTilingFillsTheRest) {
    CPicture* scaled = picture({{"crop", "TB2"}}, 2.0);
    ASSERT_NE(scaled, nullptr);
    ASSERT_NE(scaled->drawItemIndex(), 1);
    EXPECT_EQ(scaled->drawItem(scaled->drawItemIndex())->fullRect.y, 4);
    EXPECT_EQ(scaled->drawItem(scaled->drawItemIndex())->fullRect.height, 20 - 8);
    EXPECT_EQ(scaled->imageY(), 4);

    CPicture* view = picture({{"crop", "TB2"}, {"is-tiling-y", "true"}});
    ASSERT_NE(view, nullptr);
    const std::string mask = paintMask(view);
    for (std::int32_t y = 0; y < 10; ++y)
        EXPECT_EQ(mask[std::size_t(y * 21 + 2)], y >= 2 && y < 8 ? '#' : '.') << mask;
    EXPECT_EQ(mask[std::size_t(5 * 21 + 10)], '.') << mask;   // x is not tiled
}

TEST_F(CPictureTest, TilingFillsBothDirectionsFromTheImage) {
    CPicture* view = picture({{"crop", "0"}, {"pic-alignment-h", "center"}, {"pic-alignment-v", "center"},
                              {"is-tiling-x", "true"}, {"is-tiling-y", "true"}});
    ASSERT_NE(view, nullptr);
    const std::string mask = paintMask(view);
    EXPECT_EQ(mask.find('.'), std::string::npos) << mask;   // the grid reaches left of and above the image
    CPicture* once = picture({{"crop", "0"}, {"pic-alignment-h", "center"}, {"pic-alignment-v", "center"}});
    const std::string single = paintMask(once);
    EXPECT_EQ(std::count(single.begin(), single.end(), '#'), 6 * 4) << single;
    EXPECT_EQ(single.substr(3 * 21, 21), ".......######.......\n");
}

TEST_F(CPictureTest, CompactPictureTakesItsImageSizeAndNoImageSetIsNoError) {
    auto* view = static_cast<CPicture*>(panel("ui:picture", {{"image-set", "shared::is.logo"}, {"width", "compact"},
                                                             {"height", "compact"}, {"placement", "overlay"}}, "20", "10", 2.0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->area()->totalRect().width, 12.0);
    EXPECT_EQ(view->area()->totalRect().height, 8.0);
    auto* bare = static_cast<CPicture*>(panel("ui:picture", {{"width", "compact"}, {"height", "compact"}, {"placement", "overlay"}}, "20", "10"));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->area()->totalRect().width, 0.0);
    EXPECT_EQ(paintMask(bare).find('#'), std::string::npos);
}

} // namespace
} // namespace tal
