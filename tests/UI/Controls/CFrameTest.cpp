// The frame: its piece layout (even shrinking, the caption gap, empty pieces), the fill and its
// opaque report, the borderless fill, and pictures of panels painted through the window's paint.
#include "UI/Controls/CFrame.h"

#include "Other/CBandColor.h"
#include "UI/Controls/CFrameBand.h"

#include "Other/CImage.h"
#include "Other/CImageSet.h"
#include "UI/CDynamicColor.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawItem.h"
#include "UI/Controls/PanelTestTree.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

class CFrameTest : public CPanelTestTree {
protected:
    void SetUp() override {
        CPanelTestTree::SetUp();
        panelColor = addColor("Panel", "232830");
        addColor("PanelEdge", "5a6472");
    }

    // A frame image set: left corners left x corner, right corners right x corner, edges eight pixels
    // long, a texture; every image a soft rounded look in slot 0 (frame 5's tone 200 is the
    // fill) with a bright rim line in slot 1.
    void addFrameSet(const char* name, std::int32_t left, std::int32_t right, std::int32_t cornerHeight, std::int32_t authored = 1) {
        CImageSet set;
        left *= authored, right *= authored, cornerHeight *= authored;
        const auto addImage = [&set, authored](std::int32_t index, std::int32_t w, std::int32_t h, std::int32_t tone, auto covered, auto rim) {
            auto* image = new CImage;
            image->addLayer(coverageLayer(0, w, h, authored, tone, covered));
            image->addLayer(coverageLayer(1, w, h, authored, 255, rim));
            set.setImage(index, image);
        };
        const auto full = [](int, int) { return std::uint8_t(255); };
        const auto none = [](int, int) { return std::uint8_t(0); };
        // Corners: a quarter disc around the inner corner, its rim one pixel wide.
        const auto quarter = [authored](std::int32_t w, std::int32_t h, bool right, bool bottom, bool rimOnly) {
            return [=](int x, int y) {
                const double cx = right ? 0.0 : w, cy = bottom ? 0.0 : h;
                const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy), r = std::min(w, h);
                const double inside = std::clamp(r - d + 0.5, 0.0, 1.0);
                const double rim = std::clamp(1.0 - std::fabs(r - 1.5 * authored - d) / authored, 0.0, 1.0);
                return std::uint8_t(255 * (rimOnly ? rim * inside : inside));
            };
        };
        addImage(0, 8 * authored, cornerHeight, 200, full, [=](int, int y) { return std::uint8_t(y == cornerHeight - 2 * authored ? 255 : 0); });
        addImage(1, left, 8 * authored, 200, full, [=](int x, int) { return std::uint8_t(x == authored ? 255 : 0); });
        addImage(2, right, 8 * authored, 200, full, [=](int x, int) { return std::uint8_t(x == right - 2 * authored ? 255 : 0); });
        addImage(3, 8 * authored, cornerHeight, 200, full, [=](int, int y) { return std::uint8_t(y == authored ? 255 : 0); });
        addImage(4, left, cornerHeight, 200, quarter(left, cornerHeight, false, true, false), quarter(left, cornerHeight, false, true, true));
        addImage(5, right, cornerHeight, 200, quarter(right, cornerHeight, true, true, false), quarter(right, cornerHeight, true, true, true));
        addImage(6, left, cornerHeight, 200, quarter(left, cornerHeight, false, false, false), quarter(left, cornerHeight, false, false, true));
        addImage(7, right, cornerHeight, 200, quarter(right, cornerHeight, true, false, false), quarter(right, cornerHeight, true, false, true));
        addImage(8, 4 * authored, 4 * authored, 200, [=](int x, int y) { return std::uint8_t((x + y) % (4 * authored) == 0 ? 255 : 0); }, none);
        set.setRange(CString(""), 0, 9);
        addImageSet(name, set);
    }

    CFrame* frame(const char* set, std::vector<std::pair<const char*, const char*>> attrs, const char* width,
                  const char* height, double scale = 1.0) {
        attrs.insert(attrs.begin(), {{"image-set", set}, {"color", "Panel"}});
        auto* view = static_cast<CFrame*>(panel("ui:frame-base", attrs, width, height, scale));
        if (view != nullptr) {
            view->colorTable()->setColorName(1, CString("PanelEdge"));
            view->colorTable()->refresh();
        }
        return view;
    }

    CDynamicColor* panelColor = nullptr;
};

TEST_F(CFrameTest, CornersShrinkEvenlyWhenTheFrameIsTooNarrow) {
    struct Case { std::int32_t left, right; const char* width; std::int32_t leftWidth, middleWidth, rightWidth; };
    for (const Case& c : {Case{10, 6, "12", 8, 0, 4}, Case{10, 2, "6", 7, 0, 0}, Case{10, 6, "40", 10, 24, 6}}) {
        SCOPED_TRACE(c.width);
        const std::string name = "f" + std::to_string(c.left) + "x" + std::to_string(c.right) + "w" + c.width;
        addFrameSet(name.c_str(), c.left, c.right, 8);
        CFrame* view = frame(("shared::is." + name).c_str(), {{"has-borders", "true"}, {"has-center", "true"}}, c.width, "30");
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(view->prepareDraw());
        EXPECT_TRUE(view->isLayoutValid());
        EXPECT_EQ(view->drawItem(view->pieceItem(0, 1))->fullRect.width, c.leftWidth);
        EXPECT_EQ(view->drawItem(view->pieceItem(1, 1))->fullRect.width, c.middleWidth);
        EXPECT_EQ(view->drawItem(view->pieceItem(2, 1))->fullRect.width, c.rightWidth);
        EXPECT_EQ(view->drawItem(view->pieceItem(0, 1))->fullRect.height, 30 - 16);
    }
}

// A caption with a title 60 pixels wide over a top edge of 200 pixels at window scale 2 (gap 10):
// the left part is 60 wide at the edge's x, the right part 60 wide at x + 140. An emptied title
// joins the edge again at the next frame.
TEST_F(CFrameTest, ACaptionSplitsTheTopEdgeAroundItself) {
    addFrameSet("caption", 5, 5, 6);   // 10 pixels each side at scale 2: top edge = 220 - 20
    window = beginWindow("captioned", {{"width", "110"}, {"height", "40"}});
    CView* caption = build(window, "caption", {{"placement", "overlay"}, {"width", "30"}, {"height", "10"}, {"title", "Band"}});
    auto* view = static_cast<CFrame*>(begin(window, "panel", {{"placement", "left"}, {"width", "100%"}, {"height", "100%"},
        {"image-set", "shared::is.caption"}, {"color", "Panel"}, {"has-borders", "true"}, {"path-caption", "^caption"}},
        "ui:frame-base"));
    ASSERT_NE(view, nullptr);
    finish(view);
    finish(window);
    ASSERT_EQ(takeError(), "");
    window->area()->setWindowScale(2.0, 2.0);
    ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
    ASSERT_EQ(caption->lastTotalRect().width, 60.0);
    ASSERT_TRUE(view->prepareDraw());
    const CPixelRect& leftPart = view->drawItem(view->pieceItem(1, 0))->fullRect;
    const CPixelRect& rightPart = view->drawItem(view->pieceItem(3, 0))->fullRect;
    EXPECT_EQ(leftPart.x, 10);
    EXPECT_EQ(leftPart.width, 60);
    EXPECT_EQ(rightPart.x, 10 + 140);
    EXPECT_EQ(rightPart.width, 60);
    EXPECT_TRUE(view->drawsPiece(3, 0));

    ASSERT_EQ(test::takeMessage(caption->setAttr(CString("title"), CString(""), true)), "");
    ASSERT_EQ(test::takeMessage(caption->fireEvent(CString("title-changed"), false)), "");
    ASSERT_TRUE(view->prepareDraw());
    EXPECT_EQ(view->drawItem(view->pieceItem(1, 0))->fullRect.width, 200);
    EXPECT_EQ(view->drawItem(view->pieceItem(3, 0))->fullRect.width, 0);
}

TEST_F(CFrameTest, FillOpacityDecidesTheOpaqueReport) {
    addFrameSet("opaque", 4, 4, 4);
    struct Case { const char* opacity; double fraction; };
    for (const Case& c : {Case{"0.995", 1.0}, Case{"0.99", 0.0}, Case{"1", 1.0}}) {
        SCOPED_TRACE(c.opacity);
        CDynamicColor* color = panelColor;
        ASSERT_NE(color, nullptr);
        ASSERT_EQ(test::takeMessage(color->setAttr(CString("opacity"), CString(c.opacity), true)), "");
        ASSERT_EQ(test::takeMessage(color->update()), "");
        for (const char* borders : {"true", "false"}) {
            SCOPED_TRACE(borders);
            CFrame* view = frame("shared::is.opaque", {{"has-borders", borders}, {"has-center", "true"}}, "20", "20");
            ASSERT_NE(view, nullptr);
            ASSERT_TRUE(view->prepareDraw());
            CSector sector;
            EXPECT_EQ(view->getOpaqueFraction(sector, CPixelRect{}), c.fraction);
        }
    }
}

// A borderless frame fills its whole rectangle even without "has-center"; a bordered frame without
// "has-center" leaves its centre alone; a layout too small for the top row draws nothing.
TEST_F(CFrameTest, FillFollowsBordersAndCentre) {
    addFrameSet("fill", 4, 4, 4);
    struct Case { const char* borders; const char* center; const char* height; bool centreFilled, cornerTouched; };
    for (const Case& c : {Case{"false", "false", "20", true, true}, Case{"true", "false", "20", false, true},
                          Case{"true", "true", "20", true, true}, Case{"true", "true", "0.05", false, false}}) {
        SCOPED_TRACE(std::string(c.borders) + c.center + c.height);
        CFrame* view = frame("shared::is.fill", {{"has-borders", c.borders}, {"has-center", c.center}}, "20", c.height);
        ASSERT_NE(view, nullptr);
        (void)view->prepareDraw();
        sharedData->prepareImages(0);
        auto sector = filledSector(0, 0, 20, 20, 0, 0, 0);
        view->paint(*sector);
        const std::uint8_t* centre = pixelAt(*sector, 10, 10);
        EXPECT_EQ(centre[0] != 0, c.centreFilled);
        const std::uint8_t* corner = pixelAt(*sector, 3, 3);
        EXPECT_EQ(corner[0] != 0, c.cornerTouched);
    }
}

// A band frame: a hexadecimal colour tints every piece and the centre at "color-opacity" on the
// modifier colour; a palette name returns it to the palette's colours.
TEST_F(CFrameTest, BandColourReplacesThePaletteColoursUntilANameArrives) {
    addFrameSet("band", 4, 4, 4);
    addColor("CSPointMod", "6a8fc0");
    auto* view = static_cast<CFrameBand*>(panel("ui:frame-band", {{"image-set", "shared::is.band"}, {"color", "Panel"},
        {"has-borders", "true"}, {"has-center", "true"}, {"color-opacity", "0.5"},
        {"colorized-bands-color-modifier", "CSPointMod"}}, "20", "20"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->bandColor(), nullptr);
    ASSERT_TRUE(view->prepareDraw());
    const CColor* paletteFill = view->fillColor();
    ASSERT_NE(paletteFill, nullptr);

    ASSERT_EQ(test::takeMessage(view->setAttr(CString("color"), CString("#ff4000"), true)), "");
    ASSERT_NE(view->bandColor(), nullptr);
    ASSERT_TRUE(view->prepareDraw());
    EXPECT_EQ(view->fillColor(), &view->bandColor()->color());
    EXPECT_DOUBLE_EQ(view->bandColor()->color().opacity(), 0.5);
    // The opaque report still follows the palette's fill colour.
    CSector sector;
    EXPECT_EQ(view->getOpaqueFraction(sector, CPixelRect{}), paletteFill->opacity() > 0.99 ? 1.0 : 0.0);

    ASSERT_EQ(test::takeMessage(view->setAttr(CString("color"), CString("Panel"), true)), "");
    EXPECT_EQ(view->bandColor(), nullptr);
    ASSERT_TRUE(view->prepareDraw());
    EXPECT_EQ(view->fillColor(), paletteFill);
}

// Short and broken hexadecimal colours: the digits there fill blue first; no digits give white.
TEST_F(CFrameTest, BandColourTextsParseAsOneNumber) {
    addFrameSet("bandtext", 4, 4, 4);
    struct Case { const char* text; const char* same; };
    for (const Case& c : {Case{"#0000ff", "#ff"}, Case{"#ffffff", "#zz"}, Case{"#123456", "#123456789"}}) {
        SCOPED_TRACE(c.text);
        std::vector<const std::uint8_t*> tones;
        std::vector<std::vector<std::uint8_t>> colours;
        for (const char* text : {c.text, c.same}) {
            auto* view = static_cast<CFrameBand*>(panel("ui:frame-band", {{"image-set", "shared::is.bandtext"},
                {"has-borders", "true"}, {"color-opacity", "1"}}, "20", "20"));
            ASSERT_NE(view, nullptr);
            ASSERT_EQ(test::takeMessage(view->setAttr(CString("color"), CString(text), true)), "");
            ASSERT_NE(view->bandColor(), nullptr);
            const std::uint8_t* tone = view->bandColor()->color().tone(255);
            ASSERT_NE(tone, nullptr);
            colours.emplace_back(tone, tone + 3);
        }
        EXPECT_EQ(colours[0], colours[1]);
    }
}

} // namespace
} // namespace tal

namespace tal {
namespace {

// A dark window with a framed panel lit by a gradient overlay, a panel tinted in a band colour, and
// the window-wide spotlight over both, painted the way the window paints: every view prepared, then each composed into the
// sectors in tree order.
class CPanelPictureTest : public CFrameTest {
protected:
    CLinearBitmap* render(double scale) {
        addFrameSet("picture", 7, 7, 7, std::int32_t(scale));
        addColor("Window", "14171c");
        addColor("Light", "b8d4ff");
        addFrameSet("back", 1, 1, 1, std::int32_t(scale));
        window = beginWindow("picture", {{"width", "240"}, {"height", "140"}});
        std::vector<CView*> views;
        views.push_back(build(window, "back", {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                                              {"image-set", "shared::is.back"}, {"color", "Window"}}, "ui:frame-base"));
        build(window, "above", {{"placement", "top"}, {"height", "20"}});
        build(window, "before", {{"placement", "left"}, {"width", "24"}});
        CView* panelView = begin(window, "panel", {{"placement", "left"}, {"width", "120"}, {"height", "96"},
            {"image-set", "shared::is.picture"}, {"color", "Panel"}, {"has-borders", "true"}, {"has-center", "true"}}, "ui:frame-base");
        views.push_back(panelView);
        views.push_back(build(panelView, "gradient", {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
            {"mult-top", "1.0"}, {"mult-center", "1.6"}, {"mult-bottom", "0.8"}}, "ui:gradient-base"));
        finish(panelView);
        build(window, "gap", {{"placement", "left"}, {"width", "12"}});
        addColor("CSPointMod", "6a8fc0");
        CView* second = begin(window, "second", {{"placement", "left"}, {"width", "60"}, {"height", "96"},
            {"image-set", "shared::is.picture"}, {"color", "Panel"}, {"has-borders", "true"}, {"has-center", "true"},
            {"color-opacity", "0.5"}, {"colorized-bands-color-modifier", "CSPointMod"}}, "ui:frame-band");
        views.push_back(second);
        finish(second);
        EXPECT_EQ(test::takeMessage(second->setAttr(CString("color"), CString("#ff7a30"), true)), "");
        views.push_back(build(window, "light", {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
            {"color", "Light"}, {"brightness", "0.35"}, {"use-window-size-center", "true"}, {"center-x", "30%"},
            {"center-y", "20%"}, {"radius", "120"}}, "ui:spotlight-base"));
        finish(window);
        EXPECT_EQ(takeError(), "");
        window->area()->setWindowScale(scale, scale);
        EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
        for (CView* view : views) {
            view->colorTable()->setColorName(1, CString("PanelEdge"));
            view->colorTable()->refresh();
            view->selectColorStates();
            EXPECT_TRUE(view->prepareDraw());
        }
        sharedData->prepareImages(0);
        const std::int32_t width = std::int32_t(240 * scale), height = std::int32_t(140 * scale);
        sector = filledSector(0, 0, width, height, 0, 0, 0);
        for (CView* view : views) {
            const CPixelRect whole = sector->clipRect;
            if (view->drawItem(0)->intersectContext(*sector, sector->clipRect))
                view->paintToSector(*sector);
            sector->clipRect = whole;
        }
        return sector->backBuffer.get();
    }
    std::unique_ptr<CSector> sector;
};

TEST_F(CPanelPictureTest, PanelsUnderGradientAndSpotlightMatchTheirReference) {
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        if (scale != 1.0) {
            TearDown();
            SetUp();
        }
        CLinearBitmap* bitmap = render(scale);
        EXPECT_TRUE(matchesReference(*bitmap, "panels/panels@" + std::to_string(int(scale)) + "x", 2, 0));
    }
}

} // namespace
} // namespace tal
