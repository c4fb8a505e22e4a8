#include "UI/CViewArea.h"

#include "support/CLogCapture.h"
#include "support/LayoutTestOwner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

using namespace tal;

namespace {

using V = CViewArea;
using Journal = std::vector<std::string>;

CLayoutTestOwner& fixedRoot(CLayoutTestWindow& w, double width, double height) {
    CLayoutTestOwner& root = w.add("root", nullptr);
    root.area->setFixedWidth(width);
    root.area->setFixedHeight(height);
    return root;
}

CLayoutTestOwner& child(CLayoutTestWindow& w, const std::string& name, CLayoutTestOwner& parent, int placement,
                        double width, double height) {
    CLayoutTestOwner& c = w.add(name, &parent);
    c.area->setPlacement(placement);
    if (width >= 0)
        c.area->setFixedWidth(width);
    if (height >= 0)
        c.area->setFixedHeight(height);
    return c;
}

void settle(CLayoutTestWindow& w) {
    ASSERT_EQ(w.root().updateLayout(), nullptr);
    w.journal.clear();
}

CLayoutTestOwner& hiddenChild(CLayoutTestWindow& w, const std::string& name, CLayoutTestOwner& parent) {
    CLayoutTestOwner& c = w.add(name, &parent);
    c.area->setVisible(false);
    return c;
}

double roundHalfAway(double v) { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }

} // namespace

// --- placement passes ---

TEST(CViewAreaPass, TopThenLeftChildren) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& top = child(w, "top", root, V::kPlaceTop, -1, 20);
    top.area->setWidthFull();
    CLayoutTestOwner& left = child(w, "left", root, V::kPlaceLeft, 30, 40);
    settle(w);
    EXPECT_EQ(top.var(V::vY), 0.0);
    EXPECT_EQ(top.var(V::vWidth), 200.0);
    EXPECT_EQ(top.var(V::vPlaceWidth), 200.0);
    EXPECT_EQ(top.var(V::vPlaceHeight), 100.0);
    EXPECT_EQ(left.var(V::vPlaceX), 0.0);
    EXPECT_EQ(left.var(V::vPlaceY), 20.0);
    EXPECT_EQ(left.var(V::vPlaceWidth), 200.0);
    EXPECT_EQ(left.var(V::vPlaceHeight), 80.0);
    EXPECT_EQ(left.var(V::vX), 0.0);
    EXPECT_EQ(left.var(V::vY), 40.0);   // centred in the 80 left below the top child
    EXPECT_EQ(left.lastTotal.y, 40.0);
    EXPECT_EQ(left.lastTotal.width, 30.0);
}

TEST(CViewAreaPass, BottomAndRightChildrenSitAtTheFarEdges) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& bottom = child(w, "bottom", root, V::kPlaceBottom, 200, 20);
    CLayoutTestOwner& right = child(w, "right", root, V::kPlaceRight, 30, 10);
    settle(w);
    EXPECT_EQ(bottom.var(V::vPlaceHeight), 100.0);
    EXPECT_EQ(bottom.var(V::vY), bottom.var(V::vPlaceY) + 80.0);
    EXPECT_EQ(right.var(V::vPlaceWidth), 200.0);
    EXPECT_EQ(right.var(V::vPlaceHeight), 80.0);
    EXPECT_EQ(right.var(V::vX), right.var(V::vPlaceX) + 170.0);
}

TEST(CViewAreaPass, FullChildIsCentredAndTakesNoSpace) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& full = child(w, "full", root, V::kPlaceFull, 50, 50);
    CLayoutTestOwner& top = child(w, "top", root, V::kPlaceTop, 200, 20);
    settle(w);
    EXPECT_EQ(full.var(V::vX), 75.0);
    EXPECT_EQ(full.var(V::vY), 25.0);
    for (int v : {V::vPlaceX, V::vPlaceY, V::vPlaceWidth, V::vPlaceHeight})
        EXPECT_EQ(top.var(v), full.var(v)) << v;
    EXPECT_EQ(top.var(V::vY), 0.0);
}

TEST(CViewAreaPass, SameDirectionRunsShareTheirReference) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 300, 100);
    std::vector<CLayoutTestOwner*> lefts;
    for (int i = 0; i < 3; ++i) {
        lefts.push_back(&child(w, "l" + std::to_string(i), root, V::kPlaceLeft, -1, 10));
        lefts.back()->area->setWidthBalanced();
    }
    settle(w);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lefts[i]->var(V::vRefWidth), 300.0);
        EXPECT_EQ(lefts[i]->var(V::vWidth), 100.0);
        EXPECT_EQ(lefts[i]->var(V::vX), 100.0 * i);
    }
}

TEST(CViewAreaPass, ScrollerStripSitsTopRightAboveTheCorner) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 400, 300);
    CLayoutTestOwner& list = w.add("list", &root, true);
    list.area->setPlacement(V::kPlaceFull);
    list.area->setFixedWidth(200);
    list.area->setFixedHeight(200);
    list.area->setScrollerHeight(12);
    CLayoutTestOwner& bar = child(w, "bar", list, V::kPlaceScrollerV, 10, -1);
    bar.area->setHeightPercent(1.0);
    settle(w);
    EXPECT_EQ(bar.var(V::vHeight), 188.0);
    EXPECT_EQ(bar.var(V::vY), list.var(V::vY));
    EXPECT_EQ(bar.var(V::vX) + bar.var(V::vWidth), list.var(V::vX) + 200.0);
}

TEST(CViewAreaPass, InlineRowIsCentredAndItsChildrenFollowEachOther) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& a = child(w, "a", root, V::kPlaceInline, 50, 10);
    CLayoutTestOwner& top = child(w, "top", root, V::kPlaceTop, 200, 20);
    CLayoutTestOwner& b = child(w, "b", root, V::kPlaceInline, 70, 30);
    settle(w);
    EXPECT_EQ(top.var(V::vY), 0.0);   // the inline child listed before it still goes below
    EXPECT_EQ(a.var(V::vX), 40.0);
    EXPECT_EQ(b.var(V::vX), 90.0);
    // The block of one row (thickness 30) is centred in the 80 below the top child: top at 45.
    EXPECT_EQ(b.var(V::vY), 45.0);
    EXPECT_EQ(a.var(V::vY), 55.0);   // centred in the row's thickness
    root.area->setInlineAlignmentV(1);
    settle(w);
    EXPECT_EQ(b.var(V::vY), 70.0);
}

// Rows and stacks far longer than the evaluation stack and the level limit lay out like plain sums,
// before and after a size change at the start.
TEST(CViewAreaPass, LongInlineRowMatchesAPlainReference) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 20000, 1000);
    root.area->setInlineAlignmentH(-1);
    root.area->setInlineAlignmentV(-1);
    std::vector<CLayoutTestOwner*> kids;
    std::vector<double> widths, heights;
    for (int i = 0; i < 300; ++i) {
        widths.push_back(5 + (i * 7) % 23);
        heights.push_back(3 + (i * 5) % 17);
        kids.push_back(&child(w, "k" + std::to_string(i), root, V::kPlaceInline, widths[i], heights[i]));
        kids.back()->area->setOuterBorderLeft(1);
        kids.back()->area->setOuterBorderRight(2);
    }
    CLogCapture log;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        settle(w);
        double x = 0, thickness = 0;
        for (double h : heights)
            thickness = std::max(thickness, h);
        for (int i = 0; i < 300; ++i) {
            EXPECT_EQ(kids[i]->var(V::vX), x + 1) << "child " << i;
            EXPECT_EQ(kids[i]->var(V::vY), roundHalfAway((thickness - heights[i]) * 0.5)) << "child " << i;
            EXPECT_EQ(kids[i]->lastTotal.x, x + 1) << "child " << i;
            x += widths[i] + 3;
        }
        EXPECT_EQ(root.var(V::vCompactWidth), x);
        EXPECT_EQ(root.var(V::vCompactHeight), thickness);
        widths[0] = 50;
        heights[0] = 40;
        kids[0]->area->setFixedWidth(50);
        kids[0]->area->setFixedHeight(40);
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST(CViewAreaPass, LongStackMatchesAPlainReference) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 1000, 30000);
    std::vector<CLayoutTestOwner*> kids;
    std::vector<double> widths, heights;
    for (int i = 0; i < 300; ++i) {
        widths.push_back(100 + (i * 37) % 301);
        heights.push_back(4 + (i * 3) % 11);
        kids.push_back(&child(w, "k" + std::to_string(i), root, V::kPlaceTop, widths[i], heights[i]));
    }
    CLogCapture log;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        settle(w);
        double y = 0, widest = 0;
        for (int i = 0; i < 300; ++i) {
            EXPECT_EQ(kids[i]->var(V::vY), y) << "child " << i;
            EXPECT_EQ(kids[i]->var(V::vX), roundHalfAway((1000 - widths[i]) * 0.5)) << "child " << i;
            y += heights[i];
            widest = std::max(widest, widths[i]);
        }
        EXPECT_EQ(root.var(V::vCompactHeight), y);
        EXPECT_EQ(root.var(V::vCompactWidth), widest);
        heights[0] = 25;
        widths[7] = 999;
        kids[0]->area->setFixedHeight(25);
        kids[7]->area->setFixedWidth(999);
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST(CViewAreaPass, CompactSizesOfSideBySideAndStackedChildren) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = w.add("root", nullptr);
    CLayoutTestOwner& box = w.add("box", &root);
    box.area->setPlacement(V::kPlaceTop);
    child(w, "left", box, V::kPlaceLeft, 50, 10);
    child(w, "top", box, V::kPlaceTop, 100, 20);
    settle(w);
    EXPECT_EQ(box.var(V::vCompactWidth), 150.0);   // max(50 + 100, 100)
    EXPECT_EQ(box.var(V::vCompactHeight), 20.0);   // max(20, 10)
}

TEST(CViewAreaPass, HiddenChildTakesNoSpaceAndKeepsItsLastPosition) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    child(w, "a", root, V::kPlaceTop, 200, 30);
    CLayoutTestOwner& b = child(w, "b", root, V::kPlaceTop, 200, 20);
    CLayoutTestOwner& c = child(w, "c", root, V::kPlaceTop, 200, 10);
    settle(w);
    EXPECT_EQ(b.var(V::vY), 30.0);
    EXPECT_EQ(c.var(V::vY), 50.0);
    b.area->setVisible(false);
    settle(w);
    EXPECT_EQ(c.var(V::vY), 30.0);
    EXPECT_EQ(b.var(V::vY), 30.0);
    EXPECT_TRUE(w.solver().node(b.area->varNode(V::vY)).program.isEmpty());
    EXPECT_EQ(b.lastTotal.width, 0.0);
    EXPECT_EQ(b.lastClip.height, 0.0);
}

// --- the pass and its pending lists ---

TEST(CViewAreaPass, RebuildsRunLastQueuedFirstAndMarkEveryChild) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner* parents[3];
    const char* names[3] = {"P", "Q", "R"};
    for (int i = 0; i < 3; ++i) {
        parents[i] = &child(w, names[i], root, V::kPlaceTop, 200, 20);
        hiddenChild(w, std::string(names[i]) + "1", *parents[i]);   // hidden areas report on every recomputation
    }
    settle(w);
    for (CLayoutTestOwner* p : parents)
        w.solver().requestRebuild(p->area.get());
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(w.journal, (Journal{"report R1", "report Q1", "report P1"}));
}

TEST(CViewAreaPass, ChangesRunFirstQueuedFirstAndContentLastQueuedFirst) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& p = hiddenChild(w, "P", root);
    CLayoutTestOwner& q = hiddenChild(w, "Q", root);
    CLayoutTestOwner& r = hiddenChild(w, "R", root);
    settle(w);
    EXPECT_EQ(root.area->updateLayout(), nullptr);   // nothing pending: nothing happens
    EXPECT_TRUE(w.journal.empty());
    for (CLayoutTestOwner* o : {&p, &q, &r})
        w.solver().markChanged(o->area.get());
    w.solver().requestContentUpdate(p.area.get());
    w.solver().requestContentUpdate(q.area.get());
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(w.journal, (Journal{"report P", "report Q", "report R", "content Q", "content P"}));
}

TEST(CViewAreaPass, AReportThatChangesAVariableRunsAnotherCycleBeforeContent) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& x = hiddenChild(w, "X", root);
    CLayoutTestOwner& y = hiddenChild(w, "Y", root);
    CLayoutTestOwner& z = hiddenChild(w, "Z", root);
    settle(w);
    bool first = true;   // a hook must not replace itself while it runs
    x.onReport = [&] {
        if (!std::exchange(first, false))
            return static_cast<CError*>(nullptr);
        y.area->setSpreadLeft(2);   // marks Y changed
        return static_cast<CError*>(nullptr);
    };
    w.solver().markChanged(x.area.get());
    w.solver().requestContentUpdate(z.area.get());
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(w.journal, (Journal{"report X", "report Y", "content Z"}));
}

TEST(CViewAreaPass, AnAreaDestroyedInABatchIsNeverReached) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& p = hiddenChild(w, "P", root);
    hiddenChild(w, "Q", root);
    hiddenChild(w, "S", root);
    settle(w);
    p.onReport = [&] {
        w.owners[2].reset();   // Q, waiting behind P
        return static_cast<CError*>(nullptr);
    };
    w.solver().markChanged(p.area.get());
    w.solver().markChanged(w.owners[2]->area.get());
    w.solver().markChanged(w.owners[3]->area.get());
    w.solver().requestContentUpdate(w.owners[2]->area.get());
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(w.journal, (Journal{"report P", "report S"}));
}

TEST(CViewAreaPass, OscillatingLayoutStopsAtTheCycleBoundWithOneLine) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& x = hiddenChild(w, "X", root);
    settle(w);
    x.onReport = [&] {
        w.solver().markChanged(x.area.get());   // every report asks for another
        return static_cast<CError*>(nullptr);
    };
    w.solver().markChanged(x.area.get());
    const int before = x.reports;
    CLogCapture log;
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(x.reports - before, V::kMaxPassCycles);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("Layout pass stopped"), std::string::npos);
    x.onReport = nullptr;
}

TEST(CViewAreaPass, AFailingReportLeavesNoStaleBatchMarkers) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& a = hiddenChild(w, "A", root);
    CLayoutTestOwner& b = hiddenChild(w, "B", root);
    CLayoutTestOwner& c = hiddenChild(w, "C", root);
    settle(w);
    a.onReport = [] { return newError("Report failed"); };
    for (CLayoutTestOwner* o : {&a, &b, &c})
        w.solver().markChanged(o->area.get());
    CError* err = root.area->updateLayout();
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::string(err->message().chars8()), "Report failed");
    int traces = 0;
    for (int i = 1; i < err->lineCount(); ++i)
        traces += std::string(err->line(i).chars8()).rfind("UI/CViewArea( ", 0) == 0 ? 1 : 0;
    EXPECT_GE(traces, 2);   // the report's and the pass's
    delete err;
    EXPECT_EQ(w.journal, (Journal{"report A"}));
    for (CLayoutTestOwner* o : {&b, &c}) {
        EXPECT_EQ(o->area->changedBatch(), nullptr);
        EXPECT_GE(w.solver().changedList()->indexOf(o->area.get()), 0);
    }
    a.onReport = nullptr;
    w.owners[3].reset();   // C goes while queued again: nothing may point at it
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_NE(std::find(w.journal.begin() + 1, w.journal.end(), "report B"), w.journal.end());
    EXPECT_EQ(std::find(w.journal.begin(), w.journal.end(), "report C"), w.journal.end());
}

TEST(CViewAreaPass, AFailingContentUpdateRequeuesTheRest) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& p = hiddenChild(w, "P", root);
    CLayoutTestOwner& q = hiddenChild(w, "Q", root);
    settle(w);
    q.onContent = [] { return newError("Content failed"); };
    w.solver().requestContentUpdate(p.area.get());
    w.solver().requestContentUpdate(q.area.get());
    CError* err = root.area->updateLayout();
    ASSERT_NE(err, nullptr);
    delete err;
    EXPECT_EQ(p.area->contentBatch(), nullptr);
    ASSERT_NE(w.solver().contentUpdateList(), nullptr);
    EXPECT_EQ(w.solver().contentUpdateList()->indexOf(p.area.get()), 0);
    q.onContent = nullptr;
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(w.journal, (Journal{"content Q", "content P"}));
}

TEST(CViewAreaPass, APassStartedInsideAContentUpdateCompletes) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& p = child(w, "P", root, V::kPlaceTop, 100, 20);
    CLayoutTestOwner& q = child(w, "Q", root, V::kPlaceTop, 100, 20);
    settle(w);
    p.onContent = [&] {
        p.area->setFixedHeight(50);   // moves Q too
        return p.area->updateLayout();
    };
    w.solver().requestContentUpdate(p.area.get());
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(p.lastTotal.height, 50.0);
    EXPECT_EQ(q.lastTotal.y, 50.0);
    EXPECT_EQ(w.solver().changedList(), nullptr);
    EXPECT_EQ(w.journal.front(), "content P");
}

TEST(CViewAreaPass, DestroyingAMatchTargetLeavesTheFollowerInPlace) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    child(w, "T", root, V::kPlaceLeft, 40, 30);
    CLayoutTestOwner& m = w.add("M", &root);
    m.area->setMatchTarget(w.owners[1]->area.get());
    m.area->setPlacement(V::kPlaceMatch);
    settle(w);
    EXPECT_EQ(m.lastTotal.x, 0.0);
    EXPECT_EQ(m.lastTotal.y, 35.0);
    EXPECT_EQ(m.lastTotal.width, 40.0);
    EXPECT_EQ(m.lastTotal.height, 30.0);
    w.owners[1].reset();
    EXPECT_EQ(m.area->matchTarget(), nullptr);
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(m.var(V::vY), 35.0);
    EXPECT_EQ(m.var(V::vWidth), 40.0);
}

// --- rectangles ---

TEST(CViewAreaPass, ScrolledContentAndItsClipping) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 400, 300);
    CLayoutTestOwner& list = w.add("list", &root, true);
    list.area->setPlacement(V::kPlaceLeft);
    list.area->setFixedWidth(200);
    list.area->setFixedHeight(100);
    list.area->setScrollerWidth(12);
    list.area->setRatioX(0.5);
    list.area->setOffsetX(0.5);
    list.area->setInlineAlignmentH(-1);
    list.area->setInlineAlignmentV(-1);
    CLayoutTestOwner& first = child(w, "first", list, V::kPlaceInline, 100, 10);
    CLayoutTestOwner& far = child(w, "far", list, V::kPlaceInline, 100, 10);
    settle(w);
    EXPECT_EQ(list.lastClip.width, 188.0);
    EXPECT_EQ(list.lastTotal.width, 376.0);
    EXPECT_EQ(list.lastTotal.x, -188.0);
    EXPECT_EQ(first.lastTotal.x, -188.0);
    EXPECT_EQ(first.lastClip.width, 0.0);   // wholly left of the visible part
    EXPECT_EQ(first.lastClip.x, -188.0);
    EXPECT_EQ(far.lastTotal.x, -88.0);
    EXPECT_EQ(far.lastClip.x, 0.0);   // only its last 12 pixels show
    EXPECT_EQ(far.lastClip.width, 12.0);
    list.area->setOffsetX(0.25);   // content now starts at -94: far spans 6..106
    settle(w);
    EXPECT_EQ(far.lastClip.x, 6.0);
    EXPECT_EQ(far.lastClip.width, 100.0);
    EXPECT_EQ(first.lastClip.x, 0.0);
    EXPECT_EQ(first.lastClip.width, 6.0);
}

TEST(CViewAreaPass, UnclipLevelsChooseWhichAncestorsClip) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 400, 300);
    CLayoutTestOwner& outer = child(w, "outer", root, V::kPlaceFull, 100, 100);     // 150..250
    CLayoutTestOwner& inner = child(w, "inner", outer, V::kPlaceFull, 50, 50);      // 175..225
    CLayoutTestOwner& leaf = child(w, "leaf", inner, V::kPlaceFull, 300, 10);       // 50..350
    struct Row { int level; double x, width; };
    for (const Row& r : {Row{0, 175, 50}, Row{1, 150, 100}, Row{2, 50, 300}, Row{-1, 50, 300}, Row{-2, 50, 300}}) {
        SCOPED_TRACE(r.level);
        leaf.area->setUnclipLevel(r.level);
        const int before = leaf.reports;
        settle(w);
        EXPECT_EQ(leaf.reports, before + 1);   // a level change always reports
        EXPECT_EQ(leaf.lastClip.x, r.x);
        EXPECT_EQ(leaf.lastClip.width, r.width);
    }
    (void)inner;
}

TEST(CViewAreaPass, SpreadFollowsTheScaleInWholePixels) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 400, 300);
    CLayoutTestOwner& a = child(w, "a", root, V::kPlaceFull, 100, 100);
    a.area->setSpreadLeft(1);
    a.area->setUnclipLevel(-2);
    settle(w);
    EXPECT_EQ(a.lastTotal.x, 149.0);
    EXPECT_EQ(a.lastTotal.width, 101.0);
    root.area->setWindowScale(1.5, 1.0);   // 1.5 rounds to 2; the fixed sizes follow the scale
    settle(w);
    EXPECT_EQ(a.var(V::vWidth), 150.0);
    EXPECT_EQ(a.lastTotal.x, a.var(V::vX) - 2.0);
    EXPECT_EQ(a.lastTotal.width, 152.0);
}

TEST(CViewAreaPass, InlineChildrenGroupIntoRowsAtNewRowFlags) {
    struct Row { const char* name; std::vector<int> placements; std::vector<bool> newRow, visible;
                 std::vector<std::pair<int, int>> rows; };
    const Row table[] = {
        {"flagStartsRow", {1, 1, 1}, {false, false, true}, {true, true, true}, {{0, 1}, {2, 2}}},
        {"hiddenFlagPassesOn", {1, 1, 1}, {false, true, false}, {true, false, true}, {{0, 0}, {2, 2}}},
        {"otherPlacementsDoNotBreak", {1, 3, 1}, {false, false, false}, {true, true, true}, {{0, 2}}},
        {"noInlineChildren", {3, 7}, {false, false}, {true, true}, {}},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.name);
        CLayoutTestWindow w;
        CLayoutTestOwner& root = fixedRoot(w, 200, 100);
        for (std::size_t i = 0; i < r.placements.size(); ++i) {
            CLayoutTestOwner& c = child(w, "c" + std::to_string(i), root, r.placements[i], 10, 10);
            c.area->setNewInlineRow(r.newRow[i]);
            c.area->setVisible(r.visible[i]);
        }
        settle(w);
        std::vector<std::pair<int, int>> rows;
        for (const CInlineRow& row : root.area->inlineRows())
            rows.emplace_back(row.firstChild, row.lastChild);
        EXPECT_EQ(rows, r.rows);
    }
}

TEST(CViewAreaPass, InlineColumnsRunDownAndStandSideBySide) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    root.area->setInlineVertical(true);
    root.area->setInlineAlignmentH(-1);
    root.area->setInlineAlignmentV(-1);
    CLayoutTestOwner& a = child(w, "a", root, V::kPlaceInline, 30, 20);
    CLayoutTestOwner& b = child(w, "b", root, V::kPlaceInline, 50, 25);
    CLayoutTestOwner& c = child(w, "c", root, V::kPlaceInline, 40, 10);
    c.area->setNewInlineRow(true);
    settle(w);
    EXPECT_EQ(a.var(V::vY), 0.0);
    EXPECT_EQ(b.var(V::vY), 20.0);
    EXPECT_EQ(a.var(V::vX), 10.0);   // centred across in its column of thickness 50
    EXPECT_EQ(b.var(V::vX), 0.0);
    EXPECT_EQ(c.var(V::vX), 50.0);   // the second column starts past the first
    EXPECT_EQ(c.var(V::vY), 0.0);
    EXPECT_EQ(root.var(V::vCompactWidth), 90.0);    // columns side by side
    EXPECT_EQ(root.var(V::vCompactHeight), 45.0);   // the tallest column
}

TEST(CViewAreaPass, APassStartedInsideAReportTakesOverWaitingEntries) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 200, 100);
    CLayoutTestOwner& x = hiddenChild(w, "X", root);
    CLayoutTestOwner& y = hiddenChild(w, "Y", root);
    CLayoutTestOwner& z = hiddenChild(w, "Z", root);
    settle(w);
    bool first = true;
    x.onReport = [&] {
        if (!std::exchange(first, false))
            return static_cast<CError*>(nullptr);
        w.solver().markChanged(y.area.get());   // Y also waits in the outer batch
        return root.area->updateLayout();
    };
    for (CLayoutTestOwner* o : {&x, &y, &z})
        w.solver().markChanged(o->area.get());
    ASSERT_EQ(root.area->updateLayout(), nullptr);
    EXPECT_EQ(w.journal, (Journal{"report X", "report Y", "report Z"}));
    for (CLayoutTestOwner* o : {&x, &y, &z})
        EXPECT_EQ(o->area->changedBatch(), nullptr);
}

TEST(CViewAreaPass, WindowOverlayAndScrollerStripsEscapeTheScrolledContent) {
    CLayoutTestWindow w;
    CLayoutTestOwner& root = fixedRoot(w, 400, 300);
    CLayoutTestOwner& list = w.add("list", &root, true);
    list.area->setPlacement(V::kPlaceLeft);
    list.area->setFixedWidth(200);
    list.area->setFixedHeight(100);
    list.area->setScrollerWidth(12);
    list.area->setRatioY(0.5);
    CLayoutTestOwner& bar = child(w, "bar", list, V::kPlaceScrollerV, 12, -1);
    bar.area->setHeightPercent(1.0);
    CLayoutTestOwner& popup = child(w, "popup", list, V::kPlaceWindowOverlay, -1, -1);
    popup.area->setWidthPercent(1.0);
    popup.area->setHeightPercent(1.0);
    settle(w);
    EXPECT_EQ(list.lastClip.width, 188.0);
    // The bar lies on the strip the list keeps free; its clip reaches over it.
    EXPECT_EQ(bar.lastTotal.x, 188.0);
    EXPECT_EQ(bar.lastClip.x, 188.0);
    EXPECT_EQ(bar.lastClip.width, 12.0);
    EXPECT_EQ(bar.lastClip.height, 100.0);
    // The overlay covers the window and is clipped by the window only.
    EXPECT_EQ(popup.lastClip.x, 0.0);
    EXPECT_EQ(popup.lastClip.width, 400.0);
    EXPECT_EQ(popup.lastClip.height, 300.0);
}
