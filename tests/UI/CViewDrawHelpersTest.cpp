// What controls paint with: draw-item rectangles, fills, image-set frames with slot and disabled
// tints, tiling, axis lines, the routine choice of line jobs, and pictures of a control drawn with
// them (frames, tiles, axis lines, captions, a disabled variant).
#include "UI/CViewDrawHelpers.h"

#include "Core/CCreatorRegistry.h"
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "UI/CCaptionText.h"
#include "UI/CDynamicColor.h"
#include "UI/CDynamicPalette.h"
#include "UI/CImageDrawList.h"
#include "UI/CLineDraw.h"
#include "UI/CSector.h"
#include "UI/CViewArea.h"
#include "UI/CViewCaptionHost.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawItem.h"
#include "UI/CViewStateData.h"
#include "UI/Resources/CFontObject.h"
#include "UI/Resources/ResourceCreators.h"
#include "support/CLogCapture.h"
#include "support/ReferenceImage.h"
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// A coverage layer (one channel, prepared) of a size, at an authoring scale, with a slot (colour
// index), extra width and tone; covered says which pixels are inked.
template <class Covered>
CImageLayer* coverageLayer(std::int32_t slot, std::int32_t width, std::int32_t height, double scale,
                           std::int32_t extraWidth, std::int32_t tone, Covered covered) {
    std::vector<std::uint8_t> pixels(std::size_t(width * height));
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            pixels[std::size_t(y * width + x)] = covered(x, y) ? 255 : 0;
    auto* layer = new CImageLayer;
    layer->init(slot, width, height, 0, 0, scale, 0.0, extraWidth, 0, 0, 1, tone, pixels.data(), 8);
    layer->encodeRuns(pixels.data(), 8);
    return layer;
}

// A sector of the window at (x, y), w x h, cleared to black, its whole bitmap the clip.
std::unique_ptr<CSector> clearSector(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    auto sector = std::make_unique<CSector>();
    sector->windowRect = CPixelRect{x, y, w, h};
    sector->clipRect = CPixelRect{0, 0, w, h};
    sector->backBuffer = std::make_unique<CLinearBitmap>();
    delete sector->backBuffer->setSize(w, h, true);
    sector->target = sector->backBuffer.get();
    return sector;
}

const std::uint8_t* pixelAt(const CSector& sector, std::int32_t x, std::int32_t y) {
    return sector.backBuffer->pixels() + y * sector.backBuffer->stride() + 4 * x;
}

class CViewDrawHelpersTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        if (CCreatorRegistry::instance().find(CString("imageset")) == nullptr) {
            ASSERT_EQ(CCreatorRegistry::instance().registerTable(kResourceCreatorTable), 0);
        }
        // Frame 1: a 16 x 8 body (slot 0) and its left column as the edge (slot 1); frame 2: an
        // 8 x 8 square of tone 77 in colour 1, drawn at scale 2 with 2 extra pixels; ranges "" and
        // "Alt" (from 2).
        CImageSet set;
        auto* frame = new CImage;
        frame->addLayer(coverageLayer(0, 16, 8, 1.0, 0, 255, [](int, int) { return true; }));
        frame->addLayer(coverageLayer(1, 16, 8, 1.0, 0, 255, [](int x, int) { return x == 0; }));
        set.setImage(1, frame);
        auto* square = new CImage;
        square->addLayer(coverageLayer(1, 8, 8, 2.0, 2, 77, [](int x, int y) { return (x + y) % 2 == 0; }));
        set.setImage(2, square);
        set.setRange(CString(""), 1, 2);
        set.setRange(CString("Alt"), 2, 2);
        ASSERT_EQ(set.save(CString(folder.file("fixture.is").c_str())), nullptr);
        CObject* is = nullptr;
        ASSERT_EQ(test::takeMessage(shared->addChild(is, CString("core:object"), CString("is"), false)), "");
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(is->addChild(object, CString("imageset"), CString("fixture"), false)), "");
        ASSERT_EQ(test::takeMessage(object->setAttr(CString("file"), CString(folder.file("fixture.is").c_str()), true)), "");
        for (const auto& [name, tone] : {std::pair{"Panel", "1b1f25"}, {"PanelBody", "3d9bff"}, {"PanelEdge", "ffffff"},
                                         {"PanelText", "e4e8ee"}, {"Disabled", "4a5058"}, {"DisabledText", "868e99"},
                                         {"PanelShadow", "000000"}}) {
            addColor(name, tone);
            auto* color = dynamic_cast<CDynamicColor*>(root->findObject(CString((std::string("ui.palette.") + name).c_str())));
            ASSERT_NE(color, nullptr) << name;
            color->setReady(true);   // as the palette readies its colours, then builds the ramp
            ASSERT_EQ(test::takeMessage(color->update()), "");
        }
    }

    // A 200 x 100 window with a control covering it at (x, y) inside the window.
    CView* control(const char* left = "0", const char* top = "0") {
        CView* window = beginWindow("window", {{"width", "200"}, {"height", "100"}});
        // Edge spacers put the control at (left, top).
        build(window, "above", {{"placement", "top"}, {"height", top}});
        build(window, "before", {{"placement", "left"}, {"width", left}});
        CView* view = begin(window, "control", {{"placement", "left"}, {"width", "100%"}, {"height", "100%"},
                                                {"image-set", "shared::is.fixture"}, {"color-slots", "Body|Edge"}});
        finish(view);
        finish(window);
        EXPECT_EQ(takeError(), "");
        view->colorTable()->setColorName(0, CString("Text"));
        view->colorTable()->setColorName(1, CString("Body"));
        view->colorTable()->refresh();
        return view;
    }
    const CColor* paletteColor(const char* name) { return palette->getColor(CString(name), 0.0); }

    test::TempFolder folder;
};

TEST_F(CViewDrawHelpersTest, DrawItemRectanglesSnapAndClipToTheirParent) {
    CView* view = control("100", "50");   // the layout keeps whole points; S(100.2) would be 100 too
    ASSERT_EQ(view->area()->totalRect().x, 100.0);
    const std::int32_t item = view->addDrawItem();
    struct Case { double x, width; std::int32_t left, snappedWidth; };
    for (const Case& c : {Case{2.497, 9.9, 103, 9}, Case{2.497, 10.0, 103, 10}, Case{-0.5, 4.0, 99, 5}}) {
        SCOPED_TRACE(c.width);
        setDrawItemRect(*view, item, c.x, 1.0, c.width, 5.0);
        EXPECT_EQ(view->drawItem(item)->fullRect.x, c.left);
        EXPECT_EQ(view->drawItem(item)->fullRect.width, c.snappedWidth);
        EXPECT_EQ(view->drawItem(item)->fullRect.y, 51);
    }
    // Outside the parent's visible part: nothing visible, the position kept.
    setDrawItemRect(*view, item, 500.0, 0.0, 10.0, 10.0);
    EXPECT_EQ(view->drawItem(item)->clippedRect.width, 0);
    EXPECT_EQ(view->drawItem(item)->clippedRect.height, 0);
    EXPECT_EQ(view->drawItem(item)->clippedRect.x, 600);
    auto sector = clearSector(0, 0, 200, 100);
    fillDrawItem(*view, *sector, item, *paletteColor("PanelBody"), 255);
    for (std::int32_t x = 0; x < 200; x += 7)
        ASSERT_EQ(pixelAt(*sector, x, 5)[0], 0) << x;
    // Items 0 and 1 belong to the layout.
    const CPixelRect before = view->drawItem(1)->fullRect;
    setDrawItemRect(*view, 1, 0.0, 0.0, 3.0, 3.0);
    clearDrawItemRect(*view, 0);
    EXPECT_EQ(view->drawItem(1)->fullRect.width, before.width);
    EXPECT_GT(view->drawItem(0)->fullRect.width, 0);
    clearDrawItemRect(*view, item);
    EXPECT_EQ(view->drawItem(item)->fullRect.x, 0);
}

TEST_F(CViewDrawHelpersTest, FramesTakeTheirSlotColoursAndShiftByTheRange) {
    CView* view = control();
    CImageDrawList list;
    drawImageSetFrame(*view, list, 0, true, false, nullptr, 1.0);   // "" starts at 1: the frame
    ASSERT_EQ(list.records.count(), 2);
    EXPECT_EQ(list.records[0]->tintTable, paletteColor("PanelBody")->toneTable());
    EXPECT_EQ(list.records[1]->tintTable, paletteColor("PanelEdge")->toneTable());
    EXPECT_EQ(list.width, 16);
    EXPECT_EQ(list.height, 8);
    // The override colour stands for layer 0 only.
    drawImageSetFrame(*view, list, 1, false, false, paletteColor("PanelText"), 1.0);
    ASSERT_EQ(list.records.count(), 2);
    EXPECT_EQ(list.records[0]->tintTable, paletteColor("PanelText")->toneTable());
    EXPECT_EQ(list.records[1]->tintTable, paletteColor("PanelEdge")->toneTable());

    struct Case { const char* range; std::int32_t index; std::int32_t records, width, height; bool logs; };
    const Case cases[] = {
        {"Alt", 0, 1, 5, 4, false},     // 2: (8 + 2) x 0.5 by 8 x 0.5
        {"Alt", 1, 0, 0, 0, false},     // beyond the set
        {"", -2, 0, 0, 0, false},       // below 0
        {"Nowhere", 2, 1, 5, 4, true},  // unknown range: offset 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.range) + " " + std::to_string(c.index));
        CLogCapture log;
        ASSERT_EQ(test::takeMessage(view->setAttr(CString("image-set-range"), CString(c.range), true)), "");
        drawImageSetFrame(*view, list, c.index, true, false, nullptr, 1.0);
        EXPECT_EQ(list.records.count(), c.records);
        EXPECT_EQ(list.width, c.width);
        EXPECT_EQ(list.height, c.height);
        std::int32_t w = -1, h = -1;
        getImageSetFrameSize(*view, c.index, true, false, w, h);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        bool logged = false;
        for (const std::string& line : log.lines())
            logged = logged || line == std::string("Range not found <") + c.range + ">";
        EXPECT_EQ(logged, c.logs);
    }
    // The frame colour: the first layer's tag as a colour index, its tone.
    const CColor* color = nullptr;
    int tone = -1;
    ASSERT_TRUE(getImageSetFrameColor(*view, 2, false, color, tone));
    EXPECT_EQ(color, paletteColor("PanelBody"));
    EXPECT_EQ(tone, 77);
    EXPECT_FALSE(getImageSetFrameColor(*view, 7, false, color, tone));
    EXPECT_EQ(color, nullptr);
}

TEST_F(CViewDrawHelpersTest, DisabledViewTintsEveryLayerWithItsDisabledColour) {
    CView* view = control();
    view->setEffectivelyDisabled(true);
    CImageDrawList list;
    drawImageSetFrame(*view, list, 1, false, false, paletteColor("PanelText"), 1.0);
    ASSERT_EQ(list.records.count(), 2);
    const std::uint8_t* disabled = paletteColor("Disabled")->toneTable();
    EXPECT_EQ(list.records[0]->tintTable, disabled);
    EXPECT_EQ(list.records[1]->tintTable, disabled);
    auto sector = clearSector(0, 0, 40, 20);
    fillDrawItem(*view, *sector, 1, *paletteColor("PanelBody"), 255);
    EXPECT_EQ(pixelAt(*sector, 3, 3)[0], paletteColor("Disabled")->tone(255)[0]);
}

TEST_F(CViewDrawHelpersTest, TilesCoverTheSectorFromTheGridBeforeItsEdge) {
    CView* view = control();
    CImageDrawList list;
    drawImageSetFrame(*view, list, 1, false, false, nullptr, 1.0);
    ASSERT_EQ(list.width, 16);
    auto sector = clearSector(0, 0, 64, 8);
    drawImageSetItem(*view, *sector, list, -20, 0, 1, true, false);
    // The edge layer marks each tile's first column: -4 is cut off, then 12, 28, 44 and 60.
    const std::uint8_t* edge = paletteColor("PanelEdge")->tone(255);
    std::vector<int> edges;
    for (std::int32_t x = 0; x < 64; ++x)
        if (pixelAt(*sector, x, 4)[0] == edge[0]) edges.push_back(x);
    EXPECT_EQ(edges, (std::vector<int>{12, 28, 44, 60}));
    // Vertical tiling from y = 3 with a frame 8 high covers a 20-row sector at 200 x 100 (window
    // offset 10): rows of tiles at 3, 11 and 19 (window), the edge column at x 10.
    auto lower = clearSector(0, 10, 16, 20);
    drawImageSetItem(*view, *lower, list, 0, 3, 1, false, true);
    for (std::int32_t y = 0; y < 20; ++y)
        EXPECT_EQ(pixelAt(*lower, 0, y)[0], edge[0]) << y;
    // Empty list: nothing.
    CImageDrawList empty;
    auto untouched = clearSector(0, 0, 16, 8);
    drawImageSetItem(*view, *untouched, empty, 0, 0, 1, true, true);
    EXPECT_EQ(pixelAt(*untouched, 0, 0)[0], 0);
}

TEST_F(CViewDrawHelpersTest, AxisLinesStartAtTheAlphaThreshold) {
    const CColor* white = paletteColor("PanelEdge");
    struct Case { double intensity; bool draws; };
    for (const Case& c : {Case{0.0039, false}, Case{0.004, true}, Case{1.0, true}}) {
        SCOPED_TRACE(c.intensity);
        auto sector = clearSector(10, 10, 20, 20);
        drawAxisLine(*sector, 15, 5, 15, 40, *white, 255, c.intensity);   // vertical, cut to the sector
        drawAxisLine(*sector, 40, 12, 0, 99, *white, 255, c.intensity);   // horizontal on row 12
        const std::int32_t weight = std::int32_t(std::round(c.intensity * 32768.0));
        const int expected = c.draws ? CLinearBitmap::blend15(0, white->tone(255)[0], weight) : 0;
        for (std::int32_t y = 0; y < 20; ++y)
            ASSERT_EQ(pixelAt(*sector, 5, y)[0], y == 2 ? pixelAt(*sector, 5, 2)[0] : expected) << y;
        for (std::int32_t x = 0; x < 20; ++x) {
            if (x != 5) {
                ASSERT_EQ(pixelAt(*sector, x, 2)[0], expected) << x;
            }
        }
        EXPECT_EQ(pixelAt(*sector, 6, 3)[0], 0);
    }
}

TEST_F(CViewDrawHelpersTest, LineJobsGetTheirRoutineByFlags) {
    CView* view = control();
    const double points[6] = {0.0, 1.0, 1.0, 2.0, 2.0, 3.0};
    const CBrush* brush = CBrushCache::getBrush(2.0);
    using R = CLineRenderer;
    struct Case { int count; bool withBrush, withoutBrush, xOrdered, gradient; R expected; };
    const Case cases[] = {
        {1, true, false, false, false, &CLinearBitmap::drawNothing},
        {1, false, true, true, true, &CLinearBitmap::drawNothing},
        {3, true, false, false, false, &CLinearBitmap::drawCurveAA},
        {3, false, false, false, false, &CLinearBitmap::drawNothing},
        {3, true, false, true, false, &CLinearBitmap::drawColumnCurveAA},
        {3, false, true, false, true, &CLinearBitmap::drawPixelCurve},
        {3, false, true, true, false, &CLinearBitmap::drawColumnCurve},
        {3, false, true, true, true, &CLinearBitmap::fillColumnArea},
    };
    for (const Case& c : cases) {
        CLineDraw job;
        job.curve.points = points;
        job.curve.count = c.count;
        job.curve.brush = c.withBrush ? brush : nullptr;
        job.curve.opacity = 0.5;
        selectBrushRenderer(*view, job, c.withoutBrush, c.xOrdered, c.gradient, 1, 1.35, 0.85, 1.0);
        EXPECT_TRUE(job.renderer == c.expected) << c.count << c.withoutBrush << c.xOrdered << c.gradient;
        EXPECT_EQ(job.curve.opacity, c.count < 2 ? 0.5 : 0.5 * view->cumulativeDrawOpacity());
        if (c.expected == R(&CLinearBitmap::fillColumnArea)) {
            EXPECT_EQ(job.curve.areaHeight, view->area()->totalRect().height);
            EXPECT_EQ(job.curve.edgeFactor, 1.35);
            EXPECT_EQ(job.curve.peakFactor, 0.85);
        }
    }
}

} // namespace
} // namespace tal

namespace tal {
namespace {

// A control drawn with the helpers the way a control's prepare step and paint do: its panel, a row
// of tiled frames, a checkered area of tiled squares, axis lines of falling intensity and a
// shadowed caption with an inline icon.
class CHelperPicture {
public:
    CHelperPicture(CView& view, CFontObject* font) : mView(view), mHost(view) {
        const double s = view.area()->windowScale();
        mStrip = view.addDrawItem();
        mChecker = view.addDrawItem();
        setDrawItemRect(view, mStrip, 4 * s, 4 * s, 112 * s, 8 * s);
        setDrawItemRect(view, mChecker, 4 * s, 16 * s, 40 * s, 20 * s);
        view.colorTable()->refresh();
        drawImageSetFrame(view, mFrame, 1, false, false, nullptr, 1.0);
        drawImageSetFrame(view, mSquare, 2, false, false, nullptr, 1.0);
        mPanel = view.colorTable()->getColor(0);
        mLine = view.colorTable()->getSlotColor(1);
        mCaption.fontObject = font;
        mCaption.host = &mHost;
        mCaption.scale = s;
        mCaption.text = CString("Q [IMG=is.button#ArrowSm] 0.7");
        mCaption.textColorIndex = 2;
        mCaption.shadowColorIndex = 3;
        mCaption.alignV = 0;
        const CAreaRect total = view.area()->totalRect();
        mCaption.boxLeft = total.x + 50 * s;
        mCaption.boxTop = total.y + 16 * s;
        mCaption.boxWidth = 66 * s;
        mCaption.boxHeight = 20 * s;
        mCaption.getSize(mCaption.textWidth, mCaption.textHeight, false);
        mCaption.buildGlyphList();
        mLeft = std::int32_t(total.x);
        mTop = std::int32_t(total.y);
        mScale = s;
    }
    // Paint (any worker): reads the view, the lists and the resolved colours only. The clip is the
    // view's visible part of the sector, as the window sets it for each view.
    void paint(CSector& sector) const {
        const CPixelRect whole = sector.clipRect;
        if (!mView.drawItem(0)->intersectContext(sector, sector.clipRect))
            return;
        paintClipped(sector);
        sector.clipRect = whole;
    }
    // The drawing itself, inside the sector's clip.
    void paintClipped(CSector& sector) const {
        fillDrawItem(mView, sector, 1, *mPanel, 255);
        drawImageSetItem(mView, sector, mFrame, mLeft + std::int32_t(4 * mScale), mTop + std::int32_t(4 * mScale), mStrip,
                         true, false);
        drawImageSetItem(mView, sector, mSquare, mLeft, mTop, mChecker, true, true);
        for (int i = 0; i < 8; ++i) {
            const std::int32_t y = mTop + std::int32_t((40 + 2 * i) * mScale);
            drawAxisLine(sector, mLeft + std::int32_t(4 * mScale), y, mLeft + std::int32_t(116 * mScale), y, *mLine, 255,
                         1.0 - i * 0.125);
        }
        drawAxisLine(sector, mLeft + std::int32_t(48 * mScale), mTop + std::int32_t(16 * mScale),
                     mLeft + std::int32_t(48 * mScale), mTop + std::int32_t(36 * mScale), *mLine, 255, 0.5);
        mCaption.draw(*sector.target, sector.windowRect.x, sector.windowRect.y, sector.clipRect);
    }

private:
    CView& mView;
    CViewCaptionHost mHost;
    std::int32_t mStrip = 0, mChecker = 0;
    CImageDrawList mFrame, mSquare;
    const CColor* mPanel = nullptr;
    const CColor* mLine = nullptr;
    CCaptionText mCaption;
    std::int32_t mLeft = 0, mTop = 0;
    double mScale = 1.0;
};

// "test:helper-view": a view whose paint is a helper picture (set by the test), so that the view's
// own composition (opacity, look cross-fades) runs around it.
class CHelperTestView : public CView {
public:
    static void registerTags() {
        if (CCreatorRegistry::instance().find(CString("test:helper-view")) != nullptr) return;
        static const CCreatorTableEntry table[] = {
            {"test:helper-view", [] { return static_cast<CObject*>(new CHelperTestView); }, &CView::initScheme},
            {"", nullptr, nullptr},
        };
        EXPECT_EQ(CCreatorRegistry::instance().registerTable(table), 0);
    }
    void paint(CSector& sector) override {
        if (picture != nullptr) picture->paintClipped(sector);
    }
    const CHelperPicture* picture = nullptr;   // not owned
};

class CViewDrawPictureTest : public CViewDrawHelpersTest {
protected:
    void SetUp() override {
        CViewDrawHelpersTest::SetUp();
        CHelperTestView::registerTags();
        CObject* is = shared->findObject(CString("is"));
        ASSERT_NE(is, nullptr);
        CObject* button = nullptr;
        ASSERT_EQ(test::takeMessage(is->addChild(button, CString("imageset"), CString("button"), false)), "");
        const std::string file = std::string(TAL_ASSET_DIR) + "/Gfx/Imagesets/button.is";
        ASSERT_EQ(test::takeMessage(button->setAttr(CString("file"), CString(file.c_str()), true)), "");
        CObject* family = nullptr;
        ASSERT_EQ(test::takeMessage(root->addChild(family, CString("font"), CString("small"), false)), "");
        CObject* style = nullptr;
        ASSERT_EQ(test::takeMessage(family->addChild(style, CString("core:object"), CString("regular"), false)), "");
        const std::string fontFile = std::string(TAL_ASSET_DIR) + "/Gfx/Fonts/small.fnt";
        ASSERT_EQ(test::takeMessage(style->setAttr(CString("is-font-style"), CString("true"), true)), "");
        ASSERT_EQ(test::takeMessage(style->setAttr(CString("file"), CString(fontFile.c_str()), true)), "");
        ASSERT_EQ(test::takeMessage(family->initChilds()), "");
        font = dynamic_cast<CFontObject*>(family);
    }
    // The window at a scale with two controls, the lower one disabled.
    void buildWindow(double scale) {
        CView* window = beginWindow("window", {{"width", "120"}, {"height", "120"}});
        for (const char* name : {"upper", "lower"}) {   // each 60 points high, full width
            CView* view = begin(window, name, {{"placement", "top"}, {"width", "100%"}, {"height", "60"}, {"image-set", "shared::is.fixture"},
                                               {"color-slots", "Body|Edge"}}, "test:helper-view");
            finish(view);
            view->colorTable()->setColorName(0, CString(""));
            view->colorTable()->setColorName(1, CString("Body"));
            view->colorTable()->setColorName(2, CString("Text"));
            view->colorTable()->setColorName(3, CString("Shadow"));
            views.push_back(view);
        }
        finish(window);
        ASSERT_EQ(takeError(), "");
        window->area()->setWindowScale(scale, scale);
        ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
        views[1]->setEffectivelyDisabled(true);
        width = std::int32_t(120 * scale);
        height = std::int32_t(120 * scale);
        for (CView* view : views) {
            pictures.push_back(std::make_unique<CHelperPicture>(*view, font));
            static_cast<CHelperTestView*>(view)->picture = pictures.back().get();
        }
        sharedData->prepareImages(0);
    }

    CFontObject* font = nullptr;
    std::vector<CView*> views;
    std::vector<std::unique_ptr<CHelperPicture>> pictures;
    std::int32_t width = 0, height = 0;
};

TEST_F(CViewDrawPictureTest, ControlPictureMatchesItsReference) {
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        views.clear();
        pictures.clear();
        if (scale != 1.0) {
            TearDown();
            SetUp();
        }
        buildWindow(scale);
        auto sector = clearSector(0, 0, width, height);
        for (const auto& picture : pictures)
            picture->paint(*sector);
        EXPECT_TRUE(matchesReference(*sector->backBuffer, "helpers/control@" + std::to_string(int(scale)) + "x", 2, 0));
    }
}

// The sectors of a disabled, cross-fading control painted on several threads at once equal one
// whole paint: painting reads only what the prepare step resolved.
TEST_F(CViewDrawPictureTest, ConcurrentSectorPaintsEqualOneWholePaint) {
    buildWindow(1.0);
    CView* lower = views[1];
    lower->ensureStateData();
    CViewStateData* data = lower->stateData();
    data->isMorphing = true;
    data->morphFraction = 0.4;
    data->shownLook.colorState = CString("A");
    data->targetLook.colorState = CString("B");
    for (CView* view : views)
        view->selectColorStates();   // UI thread, before any paint
    // Each view painted into a sector as the window does: the view's visible part as the clip.
    const auto paintViews = [this](CSector& sector) {
        const CPixelRect whole = sector.clipRect;
        for (CView* view : views)
            if (view->drawItem(0)->intersectContext(sector, sector.clipRect)) {
                view->paintToSector(sector);
                sector.clipRect = whole;
            }
    };
    auto whole = clearSector(0, 0, width, height);
    paintViews(*whole);
    const std::int32_t tile = 30;
    std::vector<std::unique_ptr<CSector>> sectors;
    for (std::int32_t y = 0; y < height; y += tile)
        for (std::int32_t x = 0; x < width; x += tile)
            sectors.push_back(clearSector(x, y, tile, tile));
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&, w] {
            for (std::size_t i = std::size_t(w); i < sectors.size(); i += 4)
                paintViews(*sectors[i]);
        });
    for (std::thread& worker : workers)
        worker.join();
    int inked = 0;
    for (const auto& sector : sectors)
        for (std::int32_t y = 0; y < tile; ++y)
            for (std::int32_t x = 0; x < tile; ++x) {
                const std::uint8_t* a = pixelAt(*sector, x, y);
                const std::uint8_t* b = pixelAt(*whole, sector->windowRect.x + x, sector->windowRect.y + y);
                ASSERT_EQ(std::vector<std::uint8_t>(a, a + 3), std::vector<std::uint8_t>(b, b + 3))
                    << sector->windowRect.x + x << "," << sector->windowRect.y + y;
                inked += a[0] != 0 ? 1 : 0;
            }
    EXPECT_GT(inked, width * height / 2);
}

} // namespace
} // namespace tal
