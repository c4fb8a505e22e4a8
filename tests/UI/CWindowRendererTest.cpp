// Painting of a window on the headless backend. The screenshots of the test tree are compared with
// the references tests/fixtures/renderer-tree-1x.png and renderer-tree-2x.png; after an intended
// change, look at the new pictures and regenerate them with
//   TAL_UPDATE_REFERENCES=1 build/release/tal_ui_tests --gtest_filter='CWindowRendererTest.Screenshot*'
#include "UI/CWindowRenderer.h"

#include "Platform/CProcessorCount.h"
#include "UI/CSector.h"
#include "UI/CSectorMap.h"
#include "support/ReferenceImage.h"
#include "support/RendererTestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace tal {
namespace {

class CWindowRendererTest : public CRendererTestTree {
protected:
    // A 600 x 300 window: a background, a panel, a knob on the panel and a label elsewhere.
    void buildPanel(double scale = 1.0, bool dynamicKnob = true) {
        beginRoot(600, 300, scale);
        background = addView(root, "bg", 0, 0, 600, 300, "202428");
        panel = addView(root, "panel", 20, 20, 300, 200, "3a4450");
        knob = addView(panel, "knob", 30, 30, 40, 40, "e0a020", {{"is-dynamic", dynamicKnob ? "true" : "false"}});
        label = addView(root, "label", 400, 200, 150, 60, "80c0ff");
        openWindow();
    }
    // The paint lines of one view.
    static std::vector<std::string> paintsOf(const std::vector<std::string>& paints, const std::string& view) {
        std::vector<std::string> out;
        for (const std::string& p : paints)
            if (p.rfind(view + " ", 0) == 0)
                out.push_back(p);
        return out;
    }

    CView* background = nullptr;
    CView* panel = nullptr;
    CView* knob = nullptr;
    CView* label = nullptr;
};

TEST_F(CWindowRendererTest, TheFirstPaintPaintsEveryViewInEverySectorItCovers) {
    buildPanel();
    const std::vector<std::string> paints = paintRenderer->takePaints();
    CSectorMap& map = *paintRenderer->sectorMap();
    ASSERT_EQ(map.columns(), 3);   // 240 x 144 sectors
    ASSERT_EQ(map.rows(), 3);
    // Every view once per sector it covers, clipped to its own rectangle in that sector.
    struct Expect {
        const char* view;
        int x, y, w, h;
    };
    for (const Expect& e : {Expect{"bg", 0, 0, 600, 300}, Expect{"panel", 20, 20, 300, 200},
                            Expect{"knob", 50, 50, 40, 40}, Expect{"label", 400, 200, 150, 60}}) {
        std::vector<std::string> expected;
        for (int r = 0; r < map.rows(); ++r)
            for (int c = 0; c < map.columns(); ++c) {
                const CSector& s = *map.sector(c, r);
                const int x0 = std::max(e.x, s.windowRect.x), y0 = std::max(e.y, s.windowRect.y);
                const int x1 = std::min(e.x + e.w, s.windowRect.x + s.localRect.width);
                const int y1 = std::min(e.y + e.h, s.windowRect.y + s.localRect.height);
                if (x1 > x0 && y1 > y0)
                    expected.push_back(std::string(e.view) + " " + std::to_string(c) + "," + std::to_string(r) + " " +
                                       std::to_string(x0 - s.windowRect.x) + " " + std::to_string(y0 - s.windowRect.y) +
                                       " " + std::to_string(x1 - x0) + " " + std::to_string(y1 - y0));
            }
        std::vector<std::string> got = paintsOf(paints, e.view);
        std::sort(got.begin(), got.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected) << e.view;
    }
    EXPECT_EQ(pixelAt(5, 5), "202428");
    EXPECT_EQ(pixelAt(25, 25), "3a4450");
    EXPECT_EQ(pixelAt(60, 60), "e0a020");
    EXPECT_EQ(pixelAt(549, 259), "80c0ff");
    EXPECT_EQ(pixelAt(550, 260), "202428");
    EXPECT_EQ(paintRenderer->paintCounter(), 1);
}

TEST_F(CWindowRendererTest, RedirtyingOneSmallViewRepaintsOnlyItsSectorsClippedToIt) {
    buildPanel();
    tick();   // the first paint built the caches; nothing is dirty now
    paintRenderer->takePaints();
    const int presents = window().presentCount;
    knob->invalidate();
    tick();
    // The knob (50..90) lies in sector 0,0 only; the views under it come from the cache.
    EXPECT_EQ(paintRenderer->takePaints(), std::vector<std::string>{"knob 0,0 50 50 40 40"});
    EXPECT_GT(window().presentCount, presents);
    EXPECT_EQ(paintRenderer->lastBlitRect().x, 50);
    EXPECT_EQ(paintRenderer->lastBlitRect().width, 40);
}

TEST_F(CWindowRendererTest, ATickWithNothingDirtyPaintsAndBlitsNothing) {
    buildPanel();
    tick();
    paintRenderer->takePaints();
    const int presents = window().presentCount;
    const int paintsBefore = paintRenderer->paintCounter();
    tick();
    tick();
    EXPECT_TRUE(paintRenderer->takePaints().empty());
    EXPECT_EQ(window().presentCount, presents);
    EXPECT_EQ(paintRenderer->paintCounter(), paintsBefore);
    EXPECT_EQ(backend.pendingEventCount(), 0);
}

TEST_F(CWindowRendererTest, AStaticOpaqueViewHidesTheStaticViewBelowItUnlessADynamicOneLiesBetween) {
    for (const bool dynamicBetween : {false, true}) {
        SCOPED_TRACE(dynamicBetween ? "dynamic between" : "nothing between");
        beginRoot(200, 100);
        addView(root, "lower", 10, 10, 50, 50, "ff0000", {{"z-index", "topmost 1"}});
        if (dynamicBetween)
            addView(root, "between", 100, 10, 20, 20, "00ff00", {{"z-index", "topmost 2"}, {"is-dynamic", "true"}});
        addView(root, "upper", 10, 10, 50, 50, "0000ff",
                {{"z-index", "topmost 3"}, {"opaque-border", "0"}, {"is-opaque-fill", "true"}});
        openWindow();
        const std::vector<std::string> paints = paintRenderer->takePaints();
        EXPECT_EQ(paintsOf(paints, "lower").size(), dynamicBetween ? 1u : 0u);
        EXPECT_EQ(paintsOf(paints, "upper"), std::vector<std::string>{"upper 0,0 10 10 50 50"});
        EXPECT_EQ(pixelAt(30, 30), "0000ff");
        root->release();
        root = nullptr;
    }
}

TEST_F(CWindowRendererTest, APartlyCoveredStaticViewIsPaintedAroundTheOpaqueOne) {
    beginRoot(200, 100);
    addView(root, "lower", 10, 10, 100, 50, "ff0000");
    addView(root, "upper", 30, 20, 20, 20, "0000ff", {{"opaque-border", "0"}, {"is-opaque-fill", "true"}});
    openWindow();
    const std::vector<std::string> lower = paintsOf(paintRenderer->takePaints(), "lower");
    // The strips left, right, above and below the covered part.
    EXPECT_EQ(lower, (std::vector<std::string>{"lower 0,0 10 10 20 50", "lower 0,0 50 10 60 50",
                                               "lower 0,0 30 10 20 10", "lower 0,0 30 40 20 20"}));
    EXPECT_EQ(pixelAt(15, 15), "ff0000");
    EXPECT_EQ(pixelAt(35, 25), "0000ff");
}

TEST_F(CWindowRendererTest, APaintWithAnEmptyRectangleStillShowsTheSectorsItDrew) {
    buildPanel();
    tick();
    paintRenderer->takePaints();
    // The label changes colour in place; a paint for an empty rectangle arrives.
    label->invalidate();
    ASSERT_EQ(paintRenderer->flushLayout(), nullptr);
    const int presents = window().presentCount;
    CAttrMap empty;
    ASSERT_EQ(paintRenderer->runEvent(CString("paint"), &empty), nullptr);
    EXPECT_FALSE(paintRenderer->takePaints().empty());
    EXPECT_GT(window().presentCount, presents);
    // The label's sectors lost their caches and were drawn whole: all of them are shown.
    EXPECT_EQ(paintRenderer->lastBlitRect().x, 240);
    EXPECT_EQ(paintRenderer->lastBlitRect().width, 360);
}

TEST_F(CWindowRendererTest, SectorsMarkedWithoutADirtyRectangleArePaintedAtTheNextTick) {
    buildPanel();
    tick();
    paintRenderer->takePaints();
    const int presents = window().presentCount;
    // As when a view is hidden: its sectors are marked and their caches dropped, no rectangle given.
    paintRenderer->sectorMap()->invalidateSectors(CAreaRect{400, 200, 150, 60}, static_cast<CViewBasePlacement*>(label));
    tick();
    const std::vector<std::string> paints = paintRenderer->takePaints();
    EXPECT_FALSE(paintsOf(paints, "label").empty());
    EXPECT_GT(window().presentCount, presents);
    EXPECT_EQ(paintRenderer->lastBlitRect().x, 240);   // the whole of sector 1,1 and those beside it
    EXPECT_EQ(pixelAt(450, 220), "80c0ff");
}

TEST(CWindowRendererJobs, ExtraThreadsAndJobsFollowTheProcessorsAndTheCost) {
    EXPECT_EQ(CWindowRenderer::extraThreads(1), 0);
    EXPECT_EQ(CWindowRenderer::extraThreads(2), 0);
    EXPECT_EQ(CWindowRenderer::extraThreads(8), 2);
    EXPECT_EQ(CWindowRenderer::extraThreads(24), 8);
    EXPECT_EQ(CWindowRenderer::extraThreads(64), 8);
    struct Row {
        int extra;
        std::int32_t draws;
        std::int64_t area;
        int jobs;
    };
    const Row rows[] = {
        {8, 100, 1000000, 2},   // cost 1,040,000: 1.73 jobs
        {1, 100, 1000000, 1},   {0, 100, 1000000, 0}, {8, 0, 299999, 0}, {8, 0, 300000, 1},   // halves round up
        {8, 10, 8000000, 8},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.extra << " " << r.draws << " " << r.area);
        EXPECT_EQ(CWindowRenderer::renderJobs(r.extra, r.draws, r.area), r.jobs);
    }
}

TEST_F(CWindowRendererTest, TheProcessorCountDecidesWhetherALargePaintUsesJobs) {
    for (const int processors : {2, 8}) {
        SCOPED_TRACE(processors);
        setProcessorCountForTests(processors);
        beginRoot(1200, 800);
        for (int i = 0; i < 12; ++i)
            addView(root, ("v" + std::to_string(i)).c_str(), (i % 4) * 300, (i / 4) * 260, 300, 260, "406080");
        openWindow();
        EXPECT_EQ(paintRenderer->lastRenderJobs(), processors == 2 ? 0 : 2);   // 1.6 Mpx: 3 jobs wanted
        root->release();
        root = nullptr;
    }
    setProcessorCountForTests(0);
}

// A larger tree painted with forced render jobs gives the same pixels as the UI thread alone.
TEST_F(CWindowRendererTest, ConcurrentRenderJobsDrawTheSameWindowAsTheUIThreadAlone) {
    std::vector<std::uint8_t> reference;
    for (const int jobs : {0, 1, 4}) {
        SCOPED_TRACE(jobs);
        CWindowRenderer::setForcedRenderJobs(jobs);
        beginRoot(790, 500);
        addView(root, "bg", 0, 0, 790, 500, "101418");
        for (int i = 0; i < 60; ++i) {
            char rgb[8];
            std::snprintf(rgb, sizeof rgb, "%02x%02x%02x", (i * 37) & 255, (i * 91) & 255, (i * 53) & 255);
            addView(root, ("v" + std::to_string(i)).c_str(), (i * 97) % 700, (i * 61) % 430, 30 + i % 50,
                    20 + (i * 7) % 60, rgb, {{"is-dynamic", i % 3 == 0 ? "true" : "false"}});
        }
        paintRenderer->recording = false;
        openWindow();
        EXPECT_EQ(paintRenderer->lastRenderJobs(), jobs);
        if (jobs == 0)
            reference = window().pixels;
        else
            EXPECT_TRUE(window().pixels == reference);
        root->release();
        root = nullptr;
    }
    CWindowRenderer::setForcedRenderJobs(-1);
}

TEST_F(CWindowRendererTest, TheIntervalTimerTicksOnRenderNoticesOnceItsIntervalPassed) {
    buildPanel();
    CEventTestObject* listener = addListener(ui, "pos-listener");
    listener->listenObject(paintRenderer->getFullName() + ".update-actual-pos-timer", CString("tick"), CString("on"));
    CEventTestObject::journal().clear();
    // Render notices come every 25 ms of the manual clock, but the interval timer reads the real
    // clock: its interval is made 0 so that every notice fires it.
    CObject* timer = paintRenderer->findChild(CString("update-actual-pos-timer"));
    ASSERT_NE(timer, nullptr);
    ASSERT_EQ(timer->setAttr(CString("interval"), CString("0"), true), nullptr);
    tick();
    tick();
    EXPECT_EQ(CEventTestObject::journal().size(), 2u);
}

TEST_F(CWindowRendererTest, ScreenshotOfATestTreeAtOneAndTwoTimes) {
    for (const double scale : {1.0, 2.0}) {
        beginRoot(300, 180, scale);
        addView(root, "bg", 0, 0, 300, 180, "1c2026");
        CView* card = addView(root, "card", 12, 12, 180, 120, "2e3640");
        addView(card, "title", 8, 8, 164, 18, "5a6b7d");
        for (int i = 0; i < 4; ++i)
            addView(card, ("knob" + std::to_string(i)).c_str(), 10 + i * 42, 40, 32, 32, i % 2 ? "e0a020" : "3fa7d6");
        addView(root, "meter", 210, 12, 20, 156, "203020");
        addView(root, "level", 212, 80, 16, 86, "40c060", {{"is-dynamic", "true"}});
        addView(root, "badge", 150, 110, 110, 50, "c04060", {{"z-index", "topmost 1"}});
        openWindow();
        CLinearBitmap shot;
        windowBitmap(shot);
        EXPECT_EQ(shot.width(), int(300 * scale));
        EXPECT_TRUE(matchesReference(shot, scale == 1.0 ? "renderer-tree-1x" : "renderer-tree-2x", 0, 0));
        root->release();
        root = nullptr;
    }
}

} // namespace
} // namespace tal
