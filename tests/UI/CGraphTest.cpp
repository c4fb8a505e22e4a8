#include "UI/CGraph.h"

#include "UI/CControlSurfaceExtern.h"
#include "UI/CFilterResponse.h"
#include "support/ReferenceImage.h"
#include "support/SpectrumTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

// A stand-in curve editor ("test:graph-surface"): colorized bands as the test sets them, hue 0.1 per
// band, the active bands it is told, and a count of hover refreshes.
class CStubSurface : public CObject, public CControlSurfaceExtern {
public:
    bool isColorizedBandsEnabled() override { return isColorized; }
    double getBandHue(std::int32_t band) override { return 0.1 * band; }
    bool updateActiveBands(std::int32_t, std::vector<std::int32_t>& active,
                           std::vector<std::int32_t>& previous) override {
        if (active == nextActive)
            return false;
        previous = active;
        active = nextActive;
        return true;
    }
    CError* updateHover() override {
        ++hoverUpdates;
        return nullptr;
    }
    bool isColorized = false;
    std::vector<std::int32_t> nextActive;
    int hoverUpdates = 0;
};

// A 200 x 100 window with a graph over a response without bands, the ranges 20 .. 20000 Hz and
// -90 .. 0 dB (the gain range), a fade time of 0.1 s and a stub curve editor.
class CGraphTest : public CSpectrumTestTree {
protected:
    void SetUp() override {
        CSpectrumTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:graph-surface", [] { return static_cast<CObject*>(new CStubSurface); }, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:filter-response", "response",
                                                    {{"combo-mode", "sum"}, {"combo-mode-peak", "max"}})),
                  "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:graph-surface", "surface", {})), "");
        surface = dynamic_cast<CStubSurface*>(object);
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "core:object", "fade-timer", {})), "");
        sharedData->setFrameClock(100.0);
    }
    CGraph* graph(const char* isShown = "true") {
        window = beginWindow("window", {{"width", "200"}, {"height", "100"}});
        CView* view = begin(window, "graph",
                            {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                             {"control-surface", "ui.surface"}, {"group-selector", "ui.groups"},
                             {"filter-response", "ui.response"}, {"fade-timer", "ui.fade-timer"},
                             {"min-max-freq", "ui.freq"}, {"min-max-gain", "ui.levels"}, {"fade-time", "0.1"},
                             {"brush-size-current", "1.5"}, {"brush-size-summary", "1.8"},
                             {"is-empty-filter-response-shown", isShown}, {"summary-color", "GraphSummary"}},
                            "ui:graph");
        finish(view);
        finish(window);
        EXPECT_EQ(takeError(), "");
        return dynamic_cast<CGraph*>(view);
    }

    CStubSurface* surface = nullptr;
};

TEST_F(CGraphTest, EmptyResponseShowsAMidHeightLineThatTheQueriesRead) {
    CGraph* g = graph();
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->prepareDraw());
    ASSERT_EQ(g->curves().size(), 1u);
    const CGraph::CGraphCurve& summary = *g->curves()[0];
    EXPECT_TRUE(summary.isSummary);
    EXPECT_FALSE(summary.isPerColumn);
    EXPECT_EQ(summary.points, (std::vector<double>{0.0, 50.0, 200.0, 50.0}));
    EXPECT_GT(surface->hoverUpdates, 0);
    bool found = false;
    EXPECT_DOUBLE_EQ(g->getCurveValueAt(-1, &found, 0.0, -7.0), 0.5);
    EXPECT_TRUE(found);
    EXPECT_EQ(g->getCurveValueAt(-1, &found, 1.5, -7.0), -7.0);
    EXPECT_FALSE(found);
    EXPECT_EQ(g->getCurveValueAt(3, &found, 0.5, -7.0), -7.0);   // no such band curve
    const double q[2] = {60.0, 10.0};
    double nearest[2] = {-1.0, -1.0};
    EXPECT_DOUBLE_EQ(g->findNearestCurvePoint(q, nearest, false, 100.0), 40.0);
    EXPECT_DOUBLE_EQ(nearest[0], 60.0);
    EXPECT_DOUBLE_EQ(nearest[1], 50.0);
    // Nothing nearer than the limit: the limit (times the window scale), nearest at the origin.
    EXPECT_DOUBLE_EQ(g->findNearestCurvePoint(q, nearest, false, 30.0), 30.0);
    EXPECT_DOUBLE_EQ(nearest[0], 0.0);
    // The current band's curve does not exist.
    EXPECT_DOUBLE_EQ(g->findNearestCurvePoint(q, nearest, true, 100.0), 100.0);

    auto sector = blackSector();
    addColor("GraphSummary", "e0e0e0", "1");
    g->selectColorStates();
    ASSERT_TRUE(g->prepareDraw());
    g->paintToSector(*sector);
    EXPECT_TRUE(matchesReference(*sector->backBuffer, "graph-empty-response", 2, 10));
}

TEST_F(CGraphTest, ConcurrentSectorsPaintLikeOneWholeWindow) {
    CGraph* g = graph();
    ASSERT_NE(g, nullptr);
    addColor("GraphSummary", "e0e0e0", "1");
    g->selectColorStates();
    ASSERT_TRUE(g->prepareDraw());
    // The anti-aliased line lies on a sector edge; its edge coverage may round a few levels apart.
    expectConcurrentSectorsMatch(g, 3);
}

TEST_F(CGraphTest, EmptyResponseDrawsNothingWhenNotShown) {
    CGraph* g = graph("false");
    ASSERT_NE(g, nullptr);
    EXPECT_FALSE(g->prepareDraw());
    ASSERT_EQ(g->curves().size(), 1u);
    EXPECT_TRUE(g->curves()[0]->points.empty());
}

TEST_F(CGraphTest, CurrentBandChangesFadeExceptRightAfterAGroupChange) {
    CGraph* g = graph();
    ASSERT_NE(g, nullptr);
    // Right after init: no fade.
    ASSERT_EQ(takeMessage(g->setAttr(CString("current-graph"), CString("1"), true)), "");
    EXPECT_EQ(g->currentGraph(), 1);
    EXPECT_EQ(g->activeBands(), std::vector<std::int32_t>{1});
    EXPECT_FALSE(g->isFading());
    EXPECT_EQ(g->fadeProgress(), 1.0);
    // Later: a fade over 0.1 s.
    sharedData->setFrameClock(105.0);
    ASSERT_EQ(takeMessage(g->setAttr(CString("current-graph"), CString("2"), true)), "");
    EXPECT_TRUE(g->isFading());
    EXPECT_EQ(g->fadeProgress(), 0.0);
    sharedData->setFrameClock(105.05);
    ASSERT_EQ(takeMessage(g->onFadeTimer()), "");
    EXPECT_NEAR(g->fadeProgress(), 0.5, 1e-9);
    sharedData->setFrameClock(105.2);
    ASSERT_EQ(takeMessage(g->onFadeTimer()), "");
    EXPECT_FALSE(g->isFading());
    EXPECT_EQ(g->fadeProgress(), 1.0);
    // A group change resets the bands and suppresses the next fade.
    ASSERT_EQ(takeMessage(groups->setGroup(1)), "");
    EXPECT_EQ(g->activeBands(), std::vector<std::int32_t>{2});
    EXPECT_FALSE(g->isFading());
}

TEST_F(CGraphTest, ColorizedBandsTakeTheirActiveBandsFromTheCurveEditor) {
    CGraph* g = graph();
    ASSERT_NE(g, nullptr);
    surface->isColorized = true;
    surface->nextActive = {0, 3};
    ASSERT_EQ(takeMessage(g->setAttr(CString("current-graph"), CString("3"), true)), "");
    EXPECT_EQ(g->activeBands(), (std::vector<std::int32_t>{0, 3}));
}

} // namespace
} // namespace tal
