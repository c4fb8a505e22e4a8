#include "UI/CViewArea.h"

#include "support/CLogCapture.h"
#include "support/LayoutTestOwner.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace tal;

namespace {

using V = CViewArea;

using Window = CLayoutTestWindow;

} // namespace

TEST(CViewArea, RootTakesTheScaleNodesFirstThenItsVariables) {
    Window w;
    CViewArea& root = *w.add("root", nullptr).area;
    EXPECT_EQ(root.scaleNode(0), 0);
    EXPECT_EQ(root.scaleNode(1), 1);
    for (int v = 0; v < V::kPlainVarCount; ++v)
        EXPECT_EQ(root.varNode(v), 2 + v);
    EXPECT_EQ(root.varNode(V::vOffsetX), -1);
    EXPECT_EQ(root.placement(), V::kPlaceFull);
    EXPECT_EQ(root.windowScale(), 1.0);
}

TEST(CViewArea, ScrollableAreasHaveSixMoreVariables) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    const std::int32_t before = w.solver().allocNode(nullptr);
    w.solver().freeNode(before);
    CViewArea& plain = *w.add("plain", &root).area;
    EXPECT_EQ(plain.varNode(V::vRefHeight), before + 24);
    CViewArea& scroll = *w.add("scroll", &root, true).area;
    EXPECT_EQ(scroll.varNode(V::vScrollerHeight), before + 25 + 30);
    EXPECT_EQ(scroll.value(V::vRatioX), 1.0);
    EXPECT_EQ(scroll.value(V::vRatioY), 1.0);
    for (int v : {V::vOffsetX, V::vOffsetY, V::vScrollerWidth, V::vScrollerHeight})
        EXPECT_EQ(scroll.value(v), 0.0);
}

TEST(CViewArea, LimitsAndLengthsFollowLaterScaleChanges) {
    Window w;
    CLayoutTestOwner& rootOwner = w.add("root", nullptr);
    CViewArea& root = *rootOwner.area;
    CViewArea& a = *w.add("a", &rootOwner).area;
    EXPECT_EQ(a.value(V::vMaxWidth), 999999.0);
    root.setWindowScale(2.0, 2.0);
    EXPECT_EQ(a.value(V::vMaxWidth), 1999998.0);
    a.setInnerBorderLeft(3);        // logical
    a.setOuterBorderLeft(5);        // pixels at scale 2
    EXPECT_EQ(a.value(V::vInnerLeft), 6.0);
    EXPECT_EQ(a.value(V::vOuterLeft), 5.0);
    root.setWindowScale(1.5, 1.0);
    EXPECT_EQ(a.value(V::vInnerLeft), 5.0);   // 4.5 rounded away from zero
    root.setWindowScale(3.0, 1.0);
    EXPECT_EQ(a.value(V::vOuterLeft), 8.0);   // 7.5 rounded
    a.setVariable(V::vOuterTop, true, true, 0.0);
    root.setWindowScale(4.0, 1.0);
    EXPECT_EQ(a.value(V::vOuterTop), 0.0);
}

TEST(CViewArea, RootFixedSizeSnapsToWholePoints) {
    Window w;
    CViewArea& root = *w.add("root", nullptr).area;
    root.setWindowScale(2.0, 2.0);
    root.setFixedWidth(1001);
    EXPECT_EQ(root.value(V::vWidth), 1002.0);
    EXPECT_EQ(root.clipRect().width, 1001.0);
    root.setFixedHeight(-5);
    EXPECT_EQ(root.value(V::vHeight), 0.0);
}

TEST(CViewArea, WidthKindsClampToTheUpperLimitWhenLimitsCross) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CViewArea& a = *w.add("a", &root).area;
    w.solver().setConstant(a.varNode(V::vRefWidth), 300.0);
    a.setMinWidth(80);
    a.setMaxWidth(50);
    struct Row { const char* name; void (*set)(CViewArea&); };
    const Row rows[] = {
        {"balanced", [](CViewArea& x) { x.setWidthBalanced(); }},
        {"compact", [](CViewArea& x) { x.setWidthCompact(); }},
        {"compactPercent", [](CViewArea& x) { x.setWidthCompactPercent(0.5); }},
        {"full", [](CViewArea& x) { x.setWidthFull(); }},
        {"fixed", [](CViewArea& x) { x.setFixedWidth(10); }},
        {"percent", [](CViewArea& x) { x.setWidthPercent(0.5); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        r.set(a);
        EXPECT_EQ(a.value(V::vWidth), 50.0);
    }
}

TEST(CViewArea, PercentAndCompactPercentWidths) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CViewArea& a = *w.add("a", &root).area;
    w.solver().setConstant(a.varNode(V::vRefWidth), 301.0);
    a.setWidthPercent(1.5);   // limited to 1
    EXPECT_EQ(a.value(V::vWidth), 301.0);
    EXPECT_EQ(a.widthKind(), V::kSizePercent);
    a.setWidthPercent(0.5);
    EXPECT_EQ(a.value(V::vWidth), 151.0);   // 150.5 rounded
    a.setWidthCompactPercent(0.5);
    EXPECT_EQ(a.value(V::vWidth), 150.5);   // not rounded
    a.setWidthCompactPercent(1.0);
    EXPECT_EQ(a.value(V::vWidth), 301.0);
    EXPECT_EQ(a.widthKind(), V::kSizeCompactPercent);
}

TEST(CViewArea, CompactPercentOnARootUsesItsOwnReference) {
    Window w;
    CViewArea& root = *w.add("root", nullptr).area;
    w.solver().setConstant(root.varNode(V::vRefWidth), 400.0);
    root.setOuterBorderLeft(20);
    root.setWidthCompactPercent(0.5);
    root.setHeightCompactPercent(1.0);
    EXPECT_EQ(root.value(V::vWidth), 190.0);
    EXPECT_EQ(root.value(V::vHeight), 0.0);
    w.solver().setConstant(root.varNode(V::vRefHeight), 77.0);
    EXPECT_EQ(root.value(V::vHeight), 77.0);
}

TEST(CViewArea, BalancedWidthSharesTheReferenceByThePlacedCount) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CViewArea& a = *w.add("a", &root).area;
    w.solver().setConstant(a.varNode(V::vRefWidth), 300.0);
    a.setWidthBalanced();
    EXPECT_EQ(a.value(V::vWidth), 300.0);   // no placed children counted yet
    w.solver().setConstant(root.area->varNode(V::vPlacedCount), 4.0);
    EXPECT_EQ(a.value(V::vWidth), 75.0);
    a.setMinWidthBalanced();
    EXPECT_EQ(a.value(V::vMinWidth), 75.0);
    root.area->setMinWidthBalanced();
    EXPECT_EQ(root.area->value(V::vMinWidth), 0.0);
}

TEST(CViewArea, ScrollStateOnlyOnScrollableAreas) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CViewArea& s = *w.add("s", &root, true).area;
    CViewArea& plain = *w.add("p", &root).area;
    s.setMinRatioX(0);
    EXPECT_EQ(s.minRatioX(), 1e-4);
    s.setRatioX(0);
    EXPECT_EQ(s.value(V::vRatioX), 1e-4);
    s.setMinRatioY(2);
    s.setRatioY(0.5);
    EXPECT_EQ(s.value(V::vRatioY), 1.0);
    s.setOffsetX(0.25);
    s.setScrollerWidth(12);
    EXPECT_EQ(s.value(V::vOffsetX), 0.25);
    EXPECT_EQ(s.value(V::vScrollerWidth), 12.0);
    const std::int32_t free = w.solver().allocNode(nullptr);   // plain areas own no scroll nodes
    plain.setRatioX(0.5);
    plain.setOffsetX(0.5);
    plain.setScrollerWidth(12);
    EXPECT_EQ(w.solver().allocNode(nullptr), free + 1);
}

TEST(CViewArea, ScrollerPlacementUnderAPlainParentBecomesInline) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CViewArea& a = *w.add("a", &root).area;
    CLogCapture log;
    a.setPlacement(V::kPlaceScrollerV);
    EXPECT_EQ(a.placement(), V::kPlaceInline);
    EXPECT_TRUE(a.isInScrollerStrip());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "Invalid placement 11, parent view does not support scrolling");
    root.area->setPlacement(V::kPlaceTop);
    EXPECT_EQ(root.area->placement(), V::kPlaceFull);
}

TEST(CViewArea, FullPlacementEndsAutomaticCompactWidth) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CViewArea& a = *w.add("a", &root).area;
    a.setPlacement(V::kPlaceFull);
    EXPECT_FALSE(a.isAutoCompactWidth());
    EXPECT_TRUE(a.isAutoCompactHeight());
    a.setCompactHeight(12);
    EXPECT_FALSE(a.isAutoCompactHeight());
}

TEST(CViewArea, SettersQueueTheRebuildTheyConcern) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CViewArea& a = *w.add("a", &root).area;
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(w.solver().rebuildList(), nullptr);
    a.setAlignmentH(0);   // unchanged
    EXPECT_EQ(w.solver().rebuildList(), nullptr);
    a.setAlignmentH(1);
    ASSERT_NE(w.solver().rebuildList(), nullptr);
    EXPECT_EQ(w.solver().rebuildList()->indexOf(root.area.get()), 0);
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    a.setInlineAlignmentH(0);   // the area itself, changed or not
    EXPECT_EQ(w.solver().rebuildList()->indexOf(&a), 0);
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    a.setNewInlineRow(false);
    EXPECT_EQ(w.solver().rebuildList()->indexOf(root.area.get()), 0);
}

TEST(CViewArea, VisibilityPropagatesDownAndRebuildsTheParent) {
    Window w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CLayoutTestOwner& p = w.add("p", &root);
    CLayoutTestOwner& c = w.add("c", &p);
    CLayoutTestOwner& g = w.add("g", &c);
    g.area->setVisible(false);
    p.area->setVisible(false);
    EXPECT_FALSE(c.area->isShown());
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    c.area->setVisible(false);   // under a hidden parent: nothing to do
    EXPECT_EQ(w.solver().rebuildList(), nullptr);
    c.area->setVisible(true);
    p.area->setVisible(true);
    EXPECT_TRUE(c.area->isShown());
    EXPECT_FALSE(g.area->isShown());   // its own flag is still false
    root.area->setVisible(false);       // a root ignores it
    EXPECT_TRUE(root.area->isShown());
}

TEST(CViewArea, OpaqueRectAndSpreadScaleWithTheWindow) {
    Window w;
    CViewArea& root = *w.add("root", nullptr).area;
    root.setWindowScale(2.0, 2.0);
    root.setOpaqueBorder(true, 2, 4, 3, 1);   // left, top, right, bottom
    CAreaRect r{0, 0, 100, 50};
    root.getOpaqueRect(r);
    EXPECT_EQ(r.x, 4.0);
    EXPECT_EQ(r.y, 8.0);
    EXPECT_EQ(r.width, 90.0);
    EXPECT_EQ(r.height, 40.0);
    root.setSpreadLeft(6);   // pixels at scale 2: 3 logical
    root.setWindowScale(3.0, 1.0);
    EXPECT_EQ(root.getSpreadLeft(), 9.0);
}

TEST(CViewArea, DebugDumpShowsCompactSizesFirst) {
    Window w;
    CViewArea& root = *w.add("root", nullptr).area;
    CLogCapture log;
    root.dumpDebugInfo(CString("  "));
    ASSERT_EQ(log.lines().size(), 5u);
    EXPECT_EQ(log.lines()[0], "  * COMPACT-SIZE: 0.0 0.0 (AUTO 1 1)");
    EXPECT_EQ(log.lines()[4].rfind("  * PLACEMENT: ", 0), 0u);
}

TEST(CViewArea, DebugReportLineShowsNoForAnEqualClip) {
    CLayoutTestOwner owner("x", nullptr, nullptr);
    owner.isDebug = true;
    owner.debugName = CString("ui.main.knob");
    CLogCapture log;
    ASSERT_EQ(owner.CViewAreaUpdateHandler::handleViewAreaUpdate(CAreaRect{10, 20.5, 100, 30}, CAreaRect{10, 20.5, 100, 30}),
              nullptr);
    ASSERT_EQ(owner.CViewAreaUpdateHandler::handleViewAreaUpdate(CAreaRect{10, 20.5, 100, 30}, CAreaRect{10, 20.5, 50, 30}),
              nullptr);
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(log.lines()[0], "handleViewAreaUpdate \"ui.main.knob\" Total=(10.00 20.50; 100.00 x 30.00) Clip=no");
    EXPECT_EQ(log.lines()[1],
              "handleViewAreaUpdate \"ui.main.knob\" Total=(10.00 20.50; 100.00 x 30.00) Clip=(10.00 20.50; 50.00 x 30.00)");
}
