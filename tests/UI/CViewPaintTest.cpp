// Painting a view into sectors: rectangles from the layout, the opacity layer, look cross-fades, the
// debug overlay, painting one view on several threads, and a tree that stays idle.
#include "UI/CView.h"

#include "Core/CEventRegistry.h"
#include "UI/CLayoutSolver.h"
#include "UI/CSector.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewStateData.h"
#include "support/FillTestView.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace tal {
namespace {

// A sector of a window at (x, y) of size w x h, cleared to black, its whole bitmap the clip.
std::unique_ptr<CSector> blackSector(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    auto sector = std::make_unique<CSector>();
    sector->windowRect = CPixelRect{x, y, w, h};
    sector->clipRect = CPixelRect{0, 0, w, h};
    sector->backBuffer = std::make_unique<CLinearBitmap>();
    delete sector->backBuffer->setSize(w, h, true);
    sector->target = sector->backBuffer.get();
    return sector;
}

class CViewPaintTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        CFillTestView::registerTags();
    }
    // A 64 x 32 window with a fill view covering it.
    CFillTestView* fillWindow(Attrs attrs) {
        CView* window = beginWindow("window", {{"width", "64"}, {"height", "32"}});
        auto* view = dynamic_cast<CFillTestView*>(begin(window, "fill", attrs, "test:fill-view"));
        finish(view);
        finish(window);
        EXPECT_EQ(takeError(), "");
        return view;
    }
    // Starts a cross-fade from look a to look b at fraction f (as the state animation leaves it).
    static void crossFade(CView* view, const char* a, const char* b, double f) {
        view->ensureStateData();
        CViewStateData* data = view->stateData();
        data->isMorphing = true;
        data->morphFraction = f;
        data->shownLook.colorState = CString(a);
        data->targetLook.colorState = CString(b);
        view->selectColorStates();
    }
};

TEST_F(CViewPaintTest, OpacityAndCrossFadesComposeByteWise) {
    const struct {
        const char* opacity;
        double fraction;   // < 0: no cross-fade
        int expected;
    } cases[] = {
        {"0.5", -1.0, 100},   // 200 at 0.5 over 0
        {"1", 0.25, 123},     // shown look 200, target 40, a quarter of the way
        {"0.5", 0.25, 62},    // the same cross-fade, composed at 0.5 as a whole
        {"1", -1.0, 200},
    };
    for (const auto& c : cases) {
        Attrs attrs = {{"placement", "full"}, {"width", "100%"}, {"height", "100%"}, {"opacity", c.opacity}};
        CFillTestView* view = fillWindow(attrs);
        view->greys = {{"A", 200}, {"B", 40}};
        if (c.fraction >= 0.0) crossFade(view, "A", "B", c.fraction);
        else view->selectColorStates();
        auto sector = blackSector(0, 0, 64, 32);
        view->paintToSector(*sector);
        EXPECT_EQ(sector->target, sector->backBuffer.get());
        for (const auto& [x, y] : {std::pair{0, 0}, {63, 31}, {20, 10}})
            EXPECT_EQ(int(sector->backBuffer->pixel(x, y)[1]), c.expected) << c.opacity << " " << c.fraction;
        ui->findChild(CString("window"))->release();
    }
}

TEST_F(CViewPaintTest, NearlyFinishedHalvesOfACrossFadeAreNotPainted) {
    const struct {
        double fraction;
        std::map<std::string, int> paints;
    } cases[] = {{0.995, {{"B", 1}}}, {0.005, {{"A", 1}}}, {0.5, {{"A", 1}, {"B", 1}}}};
    for (const auto& c : cases) {
        CFillTestView* view = fillWindow({{"placement", "full"}, {"width", "100%"}, {"height", "100%"}});
        crossFade(view, "A", "B", c.fraction);
        auto sector = blackSector(0, 0, 64, 32);
        view->paintToSector(*sector);
        EXPECT_EQ(view->paints, c.paints) << c.fraction;
        ui->findChild(CString("window"))->release();
    }
}

TEST_F(CViewPaintTest, ConcurrentSectorsOfACrossFadingViewEqualASequentialPaint) {
    CFillTestView* view = fillWindow({{"placement", "full"}, {"width", "100%"}, {"height", "100%"}, {"opacity", "0.6"}});
    view->greys = {{"A", 220}, {"B", 30}};
    crossFade(view, "A", "B", 0.4);
    view->countPaints = false;
    // Four 32 x 16 sectors, painted one after another and then each on a thread of its own.
    std::vector<std::unique_ptr<CSector>> sequential, parallel;
    for (int i = 0; i < 4; ++i) {
        sequential.push_back(blackSector(32 * (i % 2), 16 * (i / 2), 32, 16));
        parallel.push_back(blackSector(32 * (i % 2), 16 * (i / 2), 32, 16));
    }
    for (auto& s : sequential) view->paintToSector(*s);
    std::vector<std::thread> workers;
    for (auto& s : parallel) workers.emplace_back([view, sector = s.get()] { view->paintToSector(*sector); });
    for (std::thread& t : workers) t.join();
    for (int i = 0; i < 4; ++i) {
        const CLinearBitmap& a = *sequential[i]->backBuffer;
        const CLinearBitmap& b = *parallel[i]->backBuffer;
        EXPECT_EQ(std::vector<std::uint8_t>(a.pixels(), a.pixels() + a.stride() * a.height()),
                  std::vector<std::uint8_t>(b.pixels(), b.pixels() + b.stride() * b.height()))
            << i;
        EXPECT_NE(int(a.pixel(5, 5)[0]), 0);
    }
}

TEST_F(CViewPaintTest, TheDebugOverlayXorsTheVisiblePartOfTheView) {
    CView* window = beginWindow("window", {{"width", "64"}, {"height", "32"}});
    auto* view = dynamic_cast<CFillTestView*>(
        begin(window, "fill", {{"placement", "top"}, {"width", "20"}, {"height", "10"}, {"debug-area", "true"}},
              "test:fill-view"));
    finish(view);
    finish(window);
    ASSERT_EQ(takeError(), "");
    view->greys = {{"", 100}};
    ASSERT_TRUE(view->isDebugArea());
    auto sector = blackSector(0, 0, 64, 32);
    view->paintToSector(*sector);
    const CPixelRect r = view->drawItem(1)->clippedRect;
    ASSERT_EQ(r.width, 20);
    const std::uint8_t* inside = sector->backBuffer->pixel(r.x, r.y);
    EXPECT_EQ(int(inside[0]), 100 ^ 255);
    EXPECT_EQ(int(inside[2]), 100 ^ 64);
    EXPECT_EQ(int(inside[3]), 255 ^ 255);
    const std::uint8_t* outside = sector->backBuffer->pixel(r.x + r.width, r.y);
    EXPECT_EQ(int(outside[0]), 0);
}

TEST_F(CViewPaintTest, RectanglesSnapAtOneHundredTwentyEighthsOfAPixel) {
    const struct {
        CAreaRect in;
        CPixelRect out;
    } cases[] = {
        {{10.4, 5.0, 20.2, 7.0}, {10, 5, 21, 7}},
        {{10.498, 0.0, 1.0, 1.0}, {11, 0, 1, 1}},   // 1/256 below the half: onto the half, then away from 0
        {{10.496, 0.0, 1.0, 1.0}, {10, 0, 1, 1}},
        {{-2.5, -0.5, 2.0, 1.0}, {-3, -1, 2, 2}},
    };
    for (const auto& c : cases) {
        CPixelRect r;
        CView::snapRectToPixels(c.in, r);
        EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
                  (std::vector<int>{c.out.x, c.out.y, c.out.width, c.out.height}))
            << c.in.x;
    }
}

TEST_F(CViewPaintTest, OnlyWholePixelsCountAsOpaque) {
    CView* window = beginWindow("window", {{"width", "64"}, {"height", "32"}});
    CView* opaque = build(window, "opaque", {{"placement", "top"}, {"width", "20"}, {"height", "10"}, {"opaque-border", "0"}});
    CView* plain = build(window, "plain", {{"placement", "bottom"}, {"width", "20"}, {"height", "10"}});
    finish(window);
    ASSERT_EQ(takeError(), "");
    const struct {
        CView* view;
        CAreaRect total, clip;
        bool valid;
        CPixelRect opaqueRect;
    } cases[] = {
        {opaque, {10.5, 4.25, 20.0, 10.0}, {0, 0, 64, 32}, true, {11, 5, 19, 9}},
        {opaque, {10.0, 4.0, 20.0, 10.0}, {0, 0, 64, 32}, true, {10, 4, 20, 10}},
        {opaque, {10.0, 4.0, 20.0, 10.0}, {12.5, 0, 8.0, 32}, true, {13, 4, 7, 10}},   // clipped
        {opaque, {10.2, 4.0, 0.6, 10.0}, {0, 0, 64, 32}, false, {}},                  // no whole pixel
        {plain, {10.0, 4.0, 20.0, 10.0}, {0, 0, 64, 32}, false, {}},                  // no opaque border
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.view->handleViewAreaUpdate(c.total, c.clip), nullptr);
        const CViewDrawItem& item = *c.view->drawItem(1);
        EXPECT_EQ(item.isOpaqueValid, c.valid) << c.total.x << " " << c.clip.x;
        if (c.valid) {
            EXPECT_EQ((std::vector<int>{item.opaqueRect.x, item.opaqueRect.y, item.opaqueRect.width, item.opaqueRect.height}),
                      (std::vector<int>{c.opaqueRect.x, c.opaqueRect.y, c.opaqueRect.width, c.opaqueRect.height}));
        }
    }
}

TEST_F(CViewPaintTest, RepeatedReportsNotifyAreaListenersOnceAndScrollersEveryTime) {
    CView* window = beginWindow("window", {{"width", "64"}, {"height", "32"}});
    CView* list = begin(window, "list", {{"placement", "full"}, {"width", "100%"}, {"height", "100%"},
                                         {"is-scrollable", "true"}, {"is-auto-ratio-x", "true"}});
    finish(list);
    finish(window);
    ASSERT_EQ(takeError(), "");
    ASSERT_EQ(list->runEvent(CString("request-view-area-updates")), nullptr);
    std::vector<std::string> seen;
    for (const char* event : {"view-area-update", "update-scroller"}) {
        CEventTestObject* listener = addListener(ui, event);
        listener->action = [&seen, event](CEventTestObject&, CAttrMap&) -> CError* {
            seen.push_back(event);
            return nullptr;
        };
        listener->listenObject(list->getFullName(), CString(event), CString("on"));
    }
    const CAreaRect total{0, 0, 80, 32}, clip{0, 0, 60, 32};
    ASSERT_EQ(list->handleViewAreaUpdate(total, clip), nullptr);
    ASSERT_EQ(list->handleViewAreaUpdate(total, clip), nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"view-area-update", "update-scroller", "update-scroller"}));
}

TEST_F(CViewPaintTest, AnIdleTreeRequestsNoFramesAndNoRedraws) {
    CView* window = beginWindow("window", {{"width", "64"}, {"height", "32"}});
    CView* panel = begin(window, "panel", {{"placement", "full"}, {"width", "100%"}, {"height", "100%"}});
    build(panel, "a", {{"placement", "top"}, {"width", "20"}, {"height", "10"}});
    finish(panel);
    finish(window);
    ASSERT_EQ(takeError(), "");
    const CString windowName = renderer->getFullName();
    // A gradient animation listens to frames while it runs and stops at its first frame after.
    ASSERT_EQ(panel->setAttr(CString("is-gradient-animated"), CString("true"), true), nullptr);
    EXPECT_TRUE(registry().hasSender(windowName));
    ASSERT_EQ(panel->setAttr(CString("is-gradient-animated"), CString("false"), true), nullptr);
    ASSERT_EQ(renderer->fireEvent(CString("render"), false), nullptr);
    // The renderer's flush: take the redraw list and serve its requests.
    CLayoutSolver* solver = window->area()->solver();
    ASSERT_EQ(window->updateLayout(), nullptr);
    std::unique_ptr<CLayoutAreaList> list(solver->takeRedrawList());
    if (list != nullptr)
        for (int i = 0; i < list->count(); ++i)
            dynamic_cast<CViewBasePlacement*>((*list)[i]->owner())->clearRedrawRequests();
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(window->updateLayout(), nullptr);
        EXPECT_EQ(solver->redrawList(), nullptr) << frame;
        EXPECT_FALSE(registry().hasSender(windowName)) << frame;
    }
}

} // namespace
} // namespace tal
