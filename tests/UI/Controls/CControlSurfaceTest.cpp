#include "UI/Controls/CControlSurface.h"

#include "Core/CCreatorRegistry.h"
#include "Other/CColor.h"
#include "Other/CImage.h"
#include "UI/Controls/CControlSurfaceLayer.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/Controls/SurfaceCreators.h"
#include "UI/Controls/PanelTestTree.h"
#include "support/ReferenceImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tal {
namespace {

using SurfaceAttrs = std::vector<std::pair<const char*, const char*>>;

// A surface that lets the tests set the gesture state the mouse handling sets.
class CDrawTestSurface : public CControlSurface {
public:
    using CControlSurface::mCurrentPoint;
    using CControlSurface::mIsAreaDragActive;
    using CControlSurface::mIsPointDragActive;
    using CControlSurface::mIsSimpleXyParamMode;
};

// A window of 400 x 200 points holding one curve editor with a point layer built from "ui:cs-point"
// children, a colour swatch (0 "CSPointOff", 1 "CSPoint") and the image set "shared::is.csurface"
// with a 20 x 20 marker (frame 0), 24 x 24 selection rings (10, 20, 310, 320) and slider frames.
class CControlSurfaceDrawTest : public CPanelTestTree {
protected:
    void SetUp() override {
        CPanelTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:draw-surface", [] { return static_cast<CObject*>(new CDrawTestSurface); },
                 &CControlSurface::initScheme},
                {"ui:cs-point", [] { return new CObject; }, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            if (CCreatorRegistry::instance().find(CString("ui:control-surface")) == nullptr)
                CCreatorRegistry::instance().registerTable(kSurfaceCreatorTable);
            if (CCreatorRegistry::instance().find(CString("ui:color-swatch")) == nullptr)
                CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // the colour swatch
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        addColor("CSPoint", "ff0000");
        addColor("CSPoint_Hover", "ff8080");
        addColor("CSSelectLine", "00ff00");
        addColor("CSPointOff", "808080");
        addColor("CSPointMod", "ffffff");
    }

    // The image set, authored at the window scale as the tests of the other image views do (k = 1 or
    // 2): a marker of 20 logical pixels (frames 0, 300, 400), selection rings of 24 (10, 20, 310, 320,
    // 410, 420) and slider frames of 16 (200 to 205).
    void addSurfaceImages(double scale) {
        const std::int32_t k = static_cast<std::int32_t>(scale);
        CImageSet set;
        auto disc = [k](std::int32_t size) {
            return [size, k](std::int32_t x, std::int32_t y) -> std::uint8_t {
                const double r = size / 2.0;
                return std::hypot(x + 0.5 - r, y + 0.5 - r) < r - k ? 255 : 0;
            };
        };
        auto ring = [k](std::int32_t x, std::int32_t y) -> std::uint8_t {
            const double d = std::hypot(x + 0.5 - 12.0 * k, y + 0.5 - 12.0 * k);
            return d > 9.0 * k && d < 11.5 * k ? 255 : 0;
        };
        auto add = [&](std::int32_t frame, CImageLayer* layer) {
            auto* image = new CImage;
            image->addLayer(layer);
            set.setImage(frame, image);
        };
        for (std::int32_t frame : {0, 300, 400})
            add(frame, coverageLayer(0, 20 * k, 20 * k, scale, 255, disc(20 * k)));
        for (std::int32_t frame : {10, 20, 310, 320, 410, 420})
            add(frame, coverageLayer(0, 24 * k, 24 * k, scale, 255, ring));
        for (std::int32_t frame : {200, 201, 202, 203, 204, 205})
            add(frame, coverageLayer(0, 16 * k, 16 * k, scale, 255, disc(16 * k)));
        set.setRange(CString(""), 0, 420);
        addImageSet("csurface", set);
    }

    // The surface over the whole window with the layer's points at (x, y) pairs.
    CDrawTestSurface* makeSurface(const SurfaceAttrs& attrs, const std::vector<std::pair<double, double>>& points,
                                  double scale = 1.0, bool withSwatch = true) {
        addSurfaceImages(scale);
        window = beginWindow("window", {{"width", "400"}, {"height", "200"}});
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(window->addChild(object, CString("test:draw-surface"), CString("control-surface"),
                                                     false)),
                  "");
        auto* surface = dynamic_cast<CDrawTestSurface*>(object);
        SurfaceAttrs all = {{"placement", "left"}, {"width", "100%"}, {"height", "100%"},
                     {"image-set", "shared::is.csurface"}, {"color-swatch", ".swatch"}};
        all.insert(all.end(), attrs.begin(), attrs.end());
        for (const auto& [key, value] : all)
            EXPECT_EQ(test::takeMessage(surface->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(surface->init()), "");
        if (withSwatch) {
            CObject* swatch = nullptr;
            EXPECT_EQ(test::takeMessage(surface->addChild(swatch, CString("ui:color-swatch"), CString("swatch"), false)),
                      "");
            const std::pair<const char*, const char*> colours[] = {{"0", "CSPointOff"}, {"1", "CSPoint"}};
            for (const auto& [index, name] : colours) {
                CObject* c = nullptr;
                EXPECT_EQ(test::takeMessage(swatch->addChild(c, CString("core:object"), CString("c"), false)), "");
                for (const auto& [key, value] : {std::pair{"is-color", "true"}, {"index", index}, {"color", name}})
                    EXPECT_EQ(test::takeMessage(c->setAttr(CString(key), CString(value), true)), "");
            }
            EXPECT_EQ(test::takeMessage(swatch->initChilds()), "");
        }
        CObject* layerObject = nullptr;
        EXPECT_EQ(test::takeMessage(surface->addChild(layerObject, CString("ui:control-surface-layer"),
                                                      CString("group-main"), false)),
                  "");
        for (const auto& [key, value] : {std::pair{"is-editable", "true"}, {"color", "1"}})
            EXPECT_EQ(test::takeMessage(layerObject->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(layerObject->init()), "");
        for (const auto& [x, y] : points) {
            CObject* p = nullptr;
            EXPECT_EQ(test::takeMessage(layerObject->addChild(p, CString("ui:cs-point"), CString("p"), false)), "");
            EXPECT_EQ(test::takeMessage(p->setDoubleAttr(CString("x"), x, false)), "");
            EXPECT_EQ(test::takeMessage(p->setDoubleAttr(CString("y"), y, false)), "");
            EXPECT_EQ(test::takeMessage(p->setIntAttr(CString("color"), -1, false)), "");   // the layer's
        }
        EXPECT_EQ(test::takeMessage(layerObject->createChilds()), "");
        EXPECT_EQ(test::takeMessage(layerObject->initChilds()), "");
        EXPECT_EQ(test::takeMessage(surface->createChilds()), "");
        finish(surface);
        finish(window);
        window->area()->setWindowScale(scale, scale);
        layoutError = takeError() + test::takeMessage(window->updateLayout());
        if (withSwatch) {
            EXPECT_EQ(layoutError, "");
        }
        return surface;
    }
    std::string layoutError;
    // The image operations of the display list as (frame, x, y, opacity) in order.
    struct Image {
        std::int32_t frame;
        std::int32_t x;
        std::int32_t y;
        double opacity;
        bool operator==(const Image&) const = default;
    };
    static std::vector<Image> images(CControlSurfaceVisual& surface) {
        std::vector<Image> out;
        for (const auto& op : surface.displayList())
            if (op->kind == CDrawOp::kImage)
                out.push_back({op->frame, op->x, op->y, op->imageOpacity});
        return out;
    }
};

TEST_F(CControlSurfaceDrawTest, PointsArePlacedOnThePlotWithTheirHitRectangles) {
    CDrawTestSurface* surface = makeSurface({}, {{0.0, 0.0}, {0.5, 0.25}, {1.0, 1.0}});
    ASSERT_NE(surface, nullptr);
    const CAreaRect& plot = surface->plotRect();
    EXPECT_EQ(plot.x, 0.0);
    EXPECT_EQ(plot.width, 400.0);
    EXPECT_EQ(plot.height, 200.0);
    const auto& records = surface->pointDisplay();
    ASSERT_EQ(records.size(), 3u);
    // x ends one pixel short of the right edge, y does not.
    const double xs[] = {0.0, 199.5, 399.0};
    const double ys[] = {200.0, 150.0, 0.0};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i].point, static_cast<std::int32_t>(i));
        EXPECT_DOUBLE_EQ(records[i].x, xs[i]) << i;
        EXPECT_DOUBLE_EQ(records[i].y, ys[i]) << i;
        // The 20 x 20 marker at 85 %, centred.
        EXPECT_DOUBLE_EQ(records[i].hitWidth, 17.0);
        EXPECT_DOUBLE_EQ(records[i].hitLeft, xs[i] - 8.5);
        EXPECT_EQ(records[i].colourName, CString("CSPoint"));
        EXPECT_TRUE(records[i].isInRange);
    }
    // The hit test finds the middle point from a position inside its rectangle only.
    EXPECT_EQ(surface->findPointAt(true, false, false, 205.0, 145.0, 20.0), 1);
    EXPECT_EQ(surface->findPointAt(true, false, false, 215.0, 145.0, 20.0), -1);
}

TEST_F(CControlSurfaceDrawTest, WindowScaleScalesPositionsAndHitRectangles) {
    CDrawTestSurface* surface = makeSurface({}, {{0.5, 0.5}}, 2.0);
    ASSERT_NE(surface, nullptr);
    const auto& records = surface->pointDisplay();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_DOUBLE_EQ(records[0].x, 0.5 * 799.0);
    EXPECT_DOUBLE_EQ(records[0].y, 200.0);
    EXPECT_DOUBLE_EQ(records[0].hitWidth, 34.0);
}

TEST_F(CControlSurfaceDrawTest, DisplayListDrawsMarkersThenSelectionMarks) {
    CDrawTestSurface* surface = makeSurface({}, {{0.25, 0.5}, {0.75, 0.5}, {1.5, 0.5}});
    ASSERT_NE(surface, nullptr);
    ASSERT_NE(surface->selection(), nullptr);
    surface->selection()->addPoint({0, 0}, true);
    surface->selection()->addPoint({0, 1}, true);
    surface->mCurrentPoint = {0, 1};
    ASSERT_TRUE(surface->prepareDraw());
    const auto& r = surface->pointDisplay();
    // Markers of the three points (the third beyond the plot: at the edge, half opacity), then a half
    // opacity mark for the selected point and a full one for the current point.
    const std::vector<Image> expected = {
        {0, r[0].screenX - 10, r[0].screenY - 10, 1.0},  {0, r[1].screenX - 10, r[1].screenY - 10, 1.0},
        {0, r[2].screenX - 10, r[2].screenY - 10, 0.5},  {10, r[0].screenX - 12, r[0].screenY - 12, 0.5},
        {20, r[1].screenX - 12, r[1].screenY - 12, 1.0},
    };
    EXPECT_EQ(images(*surface), expected);
    EXPECT_EQ(r[2].screenX, 399);
    EXPECT_FALSE(r[2].isInRange);
    // The marks are tinted with the selection line colour, the markers with the point colour.
    EXPECT_EQ(surface->displayList()[0]->mainColour, CString("CSPoint"));
    EXPECT_EQ(surface->displayList()[3]->mainColour, CString("CSSelectLine"));
}

TEST_F(CControlSurfaceDrawTest, BandHidingDuringADragDrawsOnlyHighlightedPointsWithoutMarks) {
    CDrawTestSurface* surface = makeSurface({{"is-band-hiding-enabled", "true"}}, {{0.25, 0.5}, {0.75, 0.5}});
    ASSERT_NE(surface, nullptr);
    surface->selection()->addPoint({0, 1}, true);
    ASSERT_TRUE(surface->prepareDraw());
    // Without a drag: both drawn, the selected one with the band-hiding frames.
    std::vector<std::int32_t> frames;
    for (const Image& image : images(*surface))
        frames.push_back(image.frame);
    EXPECT_EQ(frames, (std::vector<std::int32_t>{0, 300, 310}));
    surface->mIsPointDragActive = true;
    ASSERT_TRUE(surface->prepareDraw());
    frames.clear();
    for (const Image& image : images(*surface))
        frames.push_back(image.frame);
    EXPECT_EQ(frames, (std::vector<std::int32_t>{300}));
}

TEST_F(CControlSurfaceDrawTest, ColorizedBandsTakeTheirHueFromTheScreenPosition) {
    CDrawTestSurface* surface = makeSurface({{"colorized-bands-enable", "true"}}, {{0.0, 0.5}, {0.5, 0.5}});
    ASSERT_NE(surface, nullptr);
    ASSERT_TRUE(surface->prepareDraw());
    ASSERT_EQ(surface->bandColors().count(), 2);
    const auto& list = surface->displayList();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0]->bandColour, &surface->bandColors()[0].color());
    EXPECT_EQ(list[1]->bandColour, &surface->bandColors()[1].color());
    // Hue 0 (left edge) and hue about 0.5 give different colours.
    CBandColor left, middle;
    double rgb[3];
    CColor::hueToRGB(rgb, 0.0);
    left.update(rgb, nullptr, true);
    CColor::hueToRGB(rgb, 199.0 / 400.0);
    middle.update(rgb, nullptr, true);
    const std::uint8_t* a = left.color().tone(255);
    const std::uint8_t* b = middle.color().tone(255);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(std::vector<int>(a, a + 3), std::vector<int>(b, b + 3));
}

TEST_F(CControlSurfaceDrawTest, SimpleXyModeEmphasisesTheEndsAndRefusesColorizedBands) {
    CDrawTestSurface* surface = makeSurface({{"is-simple-xy-param-mode", "true"}, {"colorized-bands-enable", "true"}},
                                            {{0.1, 0.5}, {0.5, 0.5}, {0.9, 0.5}});
    ASSERT_NE(surface, nullptr);
    EXPECT_FALSE(surface->isColorizedBandsEnabled());
    EXPECT_TRUE(surface->isFreehandModeAllowed());
    const auto& r = surface->pointDisplay();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_TRUE(r[0].isEmphasised);
    EXPECT_FALSE(r[1].isEmphasised);
    EXPECT_TRUE(r[2].isEmphasised);
    EXPECT_NEAR(r[0].hitWidth, 17.0 * 1.3, 1e-12);
    ASSERT_TRUE(surface->prepareDraw());
    std::vector<std::int32_t> frames;
    for (const Image& image : images(*surface))
        frames.push_back(image.frame);
    EXPECT_EQ(frames, (std::vector<std::int32_t>{400, 0, 400}));
}

TEST_F(CControlSurfaceDrawTest, SliderModeKeepsASliderForEveryEditablePoint) {
    // More sliders than a fixed table of 30 would hold.
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 40; ++i)
        points.push_back({i / 40.0, 0.5});
    CDrawTestSurface* surface = makeSurface({{"is-slider-mode", "true"}}, points);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(surface->sliders().size(), 40u);
    // A horizontal layer keeps half a 16-pixel handle free above and below.
    EXPECT_DOUBLE_EQ(surface->plotRect().y, 8.0);
    EXPECT_DOUBLE_EQ(surface->plotRect().height, 184.0);
    ASSERT_TRUE(surface->prepareDraw());
    std::size_t bars = 0;
    for (const Image& image : images(*surface))
        bars += image.frame >= 202 && image.frame <= 204;
    EXPECT_EQ(bars, 120u);
}

TEST_F(CControlSurfaceDrawTest, AnEmptySurfaceDrawsNothing) {
    CDrawTestSurface* surface = makeSurface({}, {});
    ASSERT_NE(surface, nullptr);
    EXPECT_FALSE(surface->prepareDraw());
    EXPECT_TRUE(surface->displayList().empty());
}

TEST_F(CControlSurfaceDrawTest, WithoutAColourSwatchThePointsCannotBeLaidOut) {
    CDrawTestSurface* surface = makeSurface({}, {{0.5, 0.5}}, 1.0, false);
    ASSERT_NE(surface, nullptr);
    EXPECT_NE(layoutError.find("Unable to locate color swatch"), std::string::npos) << layoutError;
    const std::string message = test::takeMessage(surface->updatePointDisplay());
    EXPECT_NE(message.find("Unable to locate color swatch"), std::string::npos) << message;
    EXPECT_TRUE(surface->pointDisplay().empty());
}

TEST_F(CControlSurfaceDrawTest, SetUpWritesTheReadoutAttributesAndReadsTheSettings) {
    CDrawTestSurface* surface = makeSurface({{"curpos-band-sel", "3"},
                                             {"curpos-alignment", "top"},
                                             {"add-band-auto-types", "0,100,1, 100,7000,2,  7000,96000,3, 5"}},
                                            {});
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->getIntAttr("curpos-band-sel"), -1);
    EXPECT_EQ(surface->getTextAttr("curpos-alignment"), CString("bottom"));
    EXPECT_EQ(surface->getIntAttr("curpos-hide-values"), 1);
    ASSERT_EQ(surface->addBandAutoTypes().size(), 3u);
    EXPECT_EQ(surface->autoTypeForFrequency(50.0), 1);
    EXPECT_EQ(surface->autoTypeForFrequency(1000.0), 2);
    EXPECT_EQ(surface->autoTypeForFrequency(20000.0), 3);
}

TEST_F(CControlSurfaceDrawTest, UpdateFpsMakesRetunesAndReleasesTheUpdateTimer) {
    CDrawTestSurface* surface = makeSurface({{"timer-tag", "ui:update-timer"}}, {});
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->updateTimer(), nullptr);
    ASSERT_EQ(test::takeMessage(surface->setAttr(CString("update-fps"), CString("30"), true)), "");
    CObject* timer = surface->findObject(CString(".update-timer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(surface->updateTimer(), timer);
    EXPECT_EQ(timer->getIntAttr("fps"), 30);
    ASSERT_EQ(test::takeMessage(surface->setAttr(CString("update-fps"), CString("60"), true)), "");
    EXPECT_EQ(surface->findObject(CString(".update-timer")), timer);
    EXPECT_EQ(timer->getIntAttr("fps"), 60);
    ASSERT_EQ(test::takeMessage(surface->setAttr(CString("update-fps"), CString("0"), true)), "");
    EXPECT_EQ(surface->updateTimer(), nullptr);
    EXPECT_EQ(surface->findObject(CString(".update-timer")), nullptr);
}

TEST_F(CControlSurfaceDrawTest, PaintReplaysTheMarkersIntoTheSector) {
    CDrawTestSurface* surface = makeSurface({}, {{0.25, 0.5}, {0.75, 0.5}});
    ASSERT_NE(surface, nullptr);
    surface->selectColorStates();
    ASSERT_TRUE(surface->prepareDraw());
    sharedData->prepareImages(0);
    auto sector = filledSector(0, 0, 400, 200, 0, 0, 0);
    surface->paint(*sector);
    for (const CPointDisplay& record : surface->pointDisplay()) {
        const std::uint8_t* centre = pixelAt(*sector, record.screenX, record.screenY);
        EXPECT_GT(centre[0] + centre[1] + centre[2], 0) << record.screenX;
    }
    const std::uint8_t* far = pixelAt(*sector, 200, 20);
    EXPECT_EQ(far[0] + far[1] + far[2], 0);
    // A second sector on the right half: the right marker at its own offset, nothing of the left one.
    auto right = filledSector(200, 0, 200, 200, 0, 0, 0);
    surface->paint(*right);
    const CPointDisplay& second = surface->pointDisplay()[1];
    const std::uint8_t* centre = pixelAt(*right, second.screenX - 200, second.screenY);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 0);
}

// Eight bands across the plot: two selected (one current, one beyond the top), colourised, painted
// on a dark background; the picture is compared with its reference at 1x and at 2x.
class CControlSurfacePictureTest : public CControlSurfaceDrawTest, public ::testing::WithParamInterface<double> {
protected:
    std::unique_ptr<CSector> render(double scale) {
        CDrawTestSurface* surface = makeSurface(
            {{"colorized-bands-enable", "true"}},
            {{0.05, 0.5}, {0.18, 0.8}, {0.3, 0.2}, {0.42, 0.55}, {0.55, 1.2}, {0.68, 0.35}, {0.8, 0.7}, {0.93, 0.45}},
            scale);
        if (surface == nullptr)
            return nullptr;
        surface->selection()->addPoint({0, 2}, true);
        surface->selection()->addPoint({0, 4}, true);
        surface->mCurrentPoint = {0, 2};
        surface->selectColorStates();
        if (!surface->prepareDraw())
            return nullptr;
        sharedData->prepareImages(0);
        const std::int32_t w = static_cast<std::int32_t>(400 * scale);
        const std::int32_t h = static_cast<std::int32_t>(200 * scale);
        auto sector = filledSector(0, 0, w, h, 18, 21, 25);
        surface->paint(*sector);
        return sector;
    }
};

TEST_P(CControlSurfacePictureTest, EightBandsMatchTheirReference) {
    const double scale = GetParam();
    auto sector = render(scale);
    ASSERT_NE(sector, nullptr);
    EXPECT_TRUE(matchesReference(*sector->backBuffer, scale > 1.5 ? "surface/bands-8-2x" : "surface/bands-8-1x", 2, 0));
}

INSTANTIATE_TEST_SUITE_P(Scales, CControlSurfacePictureTest, ::testing::Values(1.0, 2.0));

// The render workers paint one display list into their own sectors at the same time: four threads,
// each painting a quarter of the window at 2x, give exactly the picture of one thread painting it whole.
TEST_F(CControlSurfaceDrawTest, ConcurrentSectorPaintsGiveTheSinglePaintPicture) {
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 32; ++i)
        points.push_back({(i + 0.5) / 32.0, 0.5 + 0.4 * std::sin(i * 0.7)});
    CDrawTestSurface* surface = makeSurface({{"colorized-bands-enable", "true"}}, points, 2.0);
    ASSERT_NE(surface, nullptr);
    surface->selection()->addPoint({0, 3}, true);
    surface->mCurrentPoint = {0, 3};
    surface->selectColorStates();
    ASSERT_TRUE(surface->prepareDraw());
    sharedData->prepareImages(4);   // image preparation with up to four pool jobs
    auto whole = filledSector(0, 0, 800, 400, 0, 0, 0);
    surface->paint(*whole);
    std::vector<std::unique_ptr<CSector>> quarters;
    for (int q = 0; q < 4; ++q)
        quarters.push_back(filledSector(200 * q, 0, 200, 400, 0, 0, 0));
    std::vector<std::thread> workers;
    for (int q = 0; q < 4; ++q)
        workers.emplace_back([&, q] { surface->paint(*quarters[static_cast<std::size_t>(q)]); });
    for (std::thread& worker : workers)
        worker.join();
    std::int64_t differing = 0;
    for (int q = 0; q < 4; ++q)
        for (std::int32_t y = 0; y < 400; ++y)
            for (std::int32_t x = 0; x < 200; ++x) {
                const std::uint8_t* a = pixelAt(*quarters[static_cast<std::size_t>(q)], x, y);
                const std::uint8_t* b = pixelAt(*whole, 200 * q + x, y);
                differing += a[0] != b[0] || a[1] != b[1] || a[2] != b[2];
            }
    EXPECT_EQ(differing, 0);
}

} // namespace
} // namespace tal
