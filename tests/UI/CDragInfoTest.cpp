// The drag state: steps, gains and fine adjustment, limits in both modes, locks, linked drags, and
// the cursor operations with the window's count of hidden cursors, in a view tree whose window
// moves the cursor as the real one does.
#include "UI/CDragInfo.h"

#include "Core/CError.h"
#include "UI/CGlobalSettings.h"
#include "support/CLogCapture.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tal {
namespace {

class CDragInfoTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("ui:global-settings"), CString("global-settings"), false)), "");
        settings = dynamic_cast<CGlobalSettings*>(object);
        ASSERT_NE(settings, nullptr);
        set(settings, "shift-key-precision", "0.5");
        set(settings, "tablet-mode", "false");
        window = beginWindow("window");
        finish(window);
        knob = build(window, "knob", {});
        ASSERT_EQ(takeError(), "");
        ASSERT_NE(knob, nullptr);
    }

    static void set(CObject* object, const char* name, const char* value) {
        EXPECT_EQ(test::takeMessage(object->setAttr(CString(name), CString(value), true)), "") << name;
    }
    CInputState& input() { return sharedData->inputState(); }
    void moveMouse(double x, double y) {
        input().mouseX = input().dragMouseX = x;
        input().mouseY = input().dragMouseY = y;
    }
    void moveBy(CDragInfo& drag, double dx, double dy, bool fine = false) {
        moveMouse(input().dragMouseX + dx, input().dragMouseY + dy);
        drag.update(fine, true);
    }
    // What the window does with the cursor moves views ask for: sets the input state's positions,
    // lets every active drag re-read them, then (here) the cursor is there. "wrap-around" moves the
    // cursor to the other side when it is within 70 points of the edge of a 1000-point screen.
    void runWindowCursorMoves() {
        for (; handledEvents < renderer->events.size(); ++handledEvents) {
            const std::string& line = renderer->events[handledEvents];
            double x = input().dragMouseX, y = input().dragMouseY;
            if (line.rfind("move-mouse-cursor", 0) == 0) {
                std::sscanf(line.c_str(), "move-mouse-cursor x=%lf y=%lf", &x, &y);
            } else if (line.rfind("wrap-around-mouse-cursor", 0) == 0) {
                if (x < 70.0) x += 860.0;
                else if (x > 930.0) x -= 860.0;
                ++wraps;
            } else {
                continue;
            }
            moveMouse(x, y);
            for (int i = 0; i < input().activeDrags.count(); ++i)
                input().activeDrags[i]->onMouseUpdate();
            ++cursorMoves;
        }
    }
    // Hidden-cursor count of the window: hides minus shows, checked never to go below 0.
    int hideCount() {
        int count = 0;
        for (const bool show : sharedData->cursorCalls) {
            count += show ? -1 : 1;
            EXPECT_GE(count, 0) << "a show without a hide";
        }
        return count;
    }
    int activeDragCount() { return input().activeDrags.count(); }
    // The cursor events the window received.
    int cursorEvents() const {
        int count = 0;
        for (const std::string& line : renderer->events)
            count += line.rfind("move-mouse-cursor", 0) == 0 || line.rfind("wrap-around-mouse-cursor", 0) == 0 ? 1 : 0;
        return count;
    }

    CGlobalSettings* settings = nullptr;
    CView* window = nullptr;
    CView* knob = nullptr;
    std::size_t handledEvents = 0;
    int cursorMoves = 0;
    int wraps = 0;
};

TEST_F(CDragInfoTest, StepsFollowTheMouseTimesGainAndFineFactor) {
    struct Case { double gainX, gainY; bool fine; double dx, dy; double stepX, stepY; };
    const double shift = CGlobalSettings::shiftKeyFactorOf(0.5);
    const Case cases[] = {
        {1.0, 1.0, false, 10.0, -4.0, 10.0, -4.0},
        {2.0, 1.0, false, 10.0, 0.0, 20.0, 0.0},
        {1.0, 1.0, true, 10.0, 0.0, 10.0 * shift, 0.0},
        {1.0, -3.0, true, 0.0, 2.0, 0.0, -6.0 * shift},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.gainX) + " " + std::to_string(c.gainY) + (c.fine ? " fine" : ""));
        moveMouse(200.0, 100.0);
        CDragInfo drag;
        ASSERT_EQ(drag.start(knob, nullptr, 0, false, false), nullptr);
        drag.point(0)->gainX = c.gainX;
        drag.point(0)->gainY = c.gainY;
        moveBy(drag, c.dx, c.dy, c.fine);
        EXPECT_NEAR(drag.point(0)->stepX, c.stepX, 1e-12);
        EXPECT_NEAR(drag.point(0)->stepY, c.stepY, 1e-12);
        moveBy(drag, c.dx, c.dy, c.fine);
        EXPECT_NEAR(drag.point(0)->positionX, 2.0 * c.stepX, 1e-12);   // the sum of the steps
        EXPECT_NEAR(drag.point(0)->positionY, 2.0 * c.stepY, 1e-12);
    }
    EXPECT_NEAR(10.0 * shift, 2.58199, 5e-6);
}

TEST_F(CDragInfoTest, HoldAtLimitCutsTheStepAndWaitsForTheRawTotal) {
    moveMouse(0.0, 0.0);
    CDragInfo drag;
    ASSERT_EQ(drag.start(knob, nullptr, 0, false, false), nullptr);
    moveBy(drag, 95.0, 0.0);
    drag.setLimits(0.0, 100.0);
    struct Move { double dx; double step; double position; };
    // Back inside the limits every step applies in full; past the lower limit the step is cut there.
    const Move moves[] = {{10.0, 5.0, 100.0}, {20.0, 0.0, 100.0}, {-10.0, 0.0, 100.0}, {-20.0, -20.0, 80.0},
                          {-100.0, -80.0, 0.0}, {3.0, 0.0, 0.0}, {7.0, 7.0, 7.0}};
    double raw = 95.0;
    for (const Move& m : moves) {
        raw += m.dx;
        SCOPED_TRACE("raw total " + std::to_string(raw));
        moveBy(drag, m.dx, 0.0);
        EXPECT_DOUBLE_EQ(drag.point(0)->stepX, m.step);
        EXPECT_DOUBLE_EQ(drag.point(0)->positionX, m.position);
        EXPECT_DOUBLE_EQ(drag.point(0)->rawTotalX, raw);
    }
}

TEST_F(CDragInfoTest, LimitAtCurrentSetsOneLimitAndClamps) {
    struct Case { double to; bool upper; };
    for (const Case& c : {Case{0.0, false}, Case{12.5, true}, Case{-3.0, false}}) {
        SCOPED_TRACE(c.to);
        moveMouse(50.0, 50.0);
        CDragInfo drag;
        ASSERT_EQ(drag.start(knob, nullptr, 1, false, false), nullptr);
        moveBy(drag, 0.0, c.to);
        EXPECT_EQ(drag.limitAtCurrent(), c.to);
        EXPECT_FALSE(drag.isHoldAtLimit());
        EXPECT_EQ(drag.hasLimit[1], !c.upper);   // lower y
        EXPECT_EQ(drag.hasLimit[3], c.upper);    // upper y
        EXPECT_FALSE(drag.hasLimit[0] || drag.hasLimit[2]);
        // Further in the limited direction changes nothing; back acts at once.
        moveBy(drag, 0.0, c.upper ? 7.0 : -7.0);
        EXPECT_EQ(drag.point(0)->positionY, c.to);
        moveBy(drag, 0.0, c.upper ? -2.0 : 2.0);
        EXPECT_EQ(drag.point(0)->positionY, c.to + (c.upper ? -2.0 : 2.0));
    }
}

TEST_F(CDragInfoTest, LockedAxisHoldsItsSavedValues) {
    moveMouse(10.0, 10.0);
    CDragInfo drag;
    ASSERT_EQ(drag.start(knob, nullptr, 0, false, false), nullptr);
    drag.lockX = true;
    drag.point(0)->savedPositionX = 4.0;
    drag.point(0)->savedFreeTotalX = 6.0;
    for (int i = 1; i <= 3; ++i) {
        moveBy(drag, 5.0, 1.0);
        EXPECT_EQ(drag.point(0)->stepX, 0.0);
        EXPECT_EQ(drag.point(0)->positionX, 4.0);
        EXPECT_EQ(drag.point(0)->freeTotalX, 6.0);
        EXPECT_EQ(drag.point(0)->rawTotalX, 5.0 * i);
        EXPECT_EQ(drag.point(0)->positionY, 1.0 * i);
    }
}

TEST_F(CDragInfoTest, CursorIsHiddenOnceAndShownOnStopAlsoAfterARestart) {
    moveMouse(300.0, 200.0);
    CDragInfo drag;
    ASSERT_EQ(drag.start(knob, nullptr, 0, true, true), nullptr);
    EXPECT_EQ(hideCount(), 0);   // not before the first move
    EXPECT_EQ(activeDragCount(), 1);
    moveBy(drag, 3.0, 0.0);
    moveBy(drag, 3.0, 0.0);
    EXPECT_EQ(hideCount(), 1);
    // A restart while the cursor is hidden shows it first and stays registered once.
    ASSERT_EQ(drag.start(knob, nullptr, 0, true, true), nullptr);
    EXPECT_EQ(hideCount(), 0);
    EXPECT_EQ(activeDragCount(), 1);
    moveBy(drag, 3.0, 0.0);
    EXPECT_EQ(hideCount(), 1);
    drag.stop();
    runWindowCursorMoves();
    EXPECT_EQ(hideCount(), 0);
    EXPECT_EQ(activeDragCount(), 0);
    // Restored to the origin of the restarted drag.
    EXPECT_DOUBLE_EQ(input().dragMouseX, 306.0);
    drag.stop();   // a second stop does nothing
    EXPECT_EQ(hideCount(), 0);
}

TEST_F(CDragInfoTest, TabletModeDisablesEveryCursorOperation) {
    set(settings, "tablet-mode", "true");
    moveMouse(100.0, 100.0);
    CDragInfo drag;
    ASSERT_EQ(drag.start(knob, nullptr, 0, true, true), nullptr);
    moveBy(drag, 5.0, 5.0);
    drag.parkCursor();
    drag.wrapCursor();
    drag.setOriginAtRectCenter(CAreaRect{0.0, 0.0, 10.0, 10.0});
    drag.stop();
    EXPECT_TRUE(sharedData->cursorCalls.empty());
    EXPECT_EQ(cursorEvents(), 0);
    EXPECT_EQ(drag.origin()[0], 100.0);
}

TEST_F(CDragInfoTest, ParkingAndWrappingLeaveTheHideCountBalanced) {
    moveMouse(500.0, 400.0);
    CDragInfo drag;
    std::uint32_t seed = 12345u;
    double total = 0.0;
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(drag.start(knob, nullptr, 0, true, round % 3 != 0), nullptr);
        for (int i = 0; i < 100; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const double dx = double(int(seed >> 24) - 128) / 8.0;
            moveBy(drag, dx, 0.0);
            total += drag.point(0)->stepX;
            if (i % 7 == 0) drag.parkCursor();
            if (i % 5 == 0) drag.wrapCursor();
            runWindowCursorMoves();
            ASSERT_LE(hideCount(), 1);
        }
        drag.stop();
        runWindowCursorMoves();
        ASSERT_EQ(hideCount(), 0) << round;
    }
    EXPECT_GT(cursorMoves, 1000);
    EXPECT_GT(wraps, 1000);
    EXPECT_EQ(activeDragCount(), 0);
    EXPECT_NE(total, 0.0);
}

// Parking moves the cursor back to the origin; the step after it is measured from there.
TEST_F(CDragInfoTest, ParkedCursorStartsTheNextStepAtTheOrigin) {
    moveMouse(100.0, 100.0);
    CDragInfo drag;
    ASSERT_EQ(drag.start(knob, nullptr, 0, true, false), nullptr);
    moveBy(drag, 40.0, 0.0);
    drag.parkCursor();
    runWindowCursorMoves();
    EXPECT_DOUBLE_EQ(input().dragMouseX, 100.0);
    moveBy(drag, 5.0, 0.0);
    EXPECT_DOUBLE_EQ(drag.point(0)->stepX, 5.0);
    EXPECT_DOUBLE_EQ(drag.point(0)->positionX, 45.0);
    EXPECT_NEAR(drag.getDistanceFromOrigin(), 5.0, 1e-12);
    drag.stop();
    EXPECT_EQ(hideCount(), 0);
}

TEST_F(CDragInfoTest, LinkedDragTakesTheLeadersOriginAndFirstStep) {
    moveMouse(70.0, 30.0);
    CDragInfo leader;
    ASSERT_EQ(leader.start(knob, nullptr, 0, false, false), nullptr);
    moveMouse(90.0, 90.0);   // the follower starts later, elsewhere
    CDragInfo follower;
    ASSERT_EQ(follower.start(knob, &leader, 0, false, false), nullptr);
    EXPECT_EQ(follower.origin()[0], 70.0);
    EXPECT_EQ(follower.origin()[1], 30.0);
    follower.point(0)->gainX = 100.0;   // not applied: the leader's step is copied
    for (const double dx : {4.0, -9.0, 2.5}) {
        moveBy(leader, dx, 1.0);
        follower.update(false, true);
        EXPECT_EQ(follower.point(0)->stepX, leader.point(0)->stepX);
        EXPECT_EQ(follower.point(0)->positionX, leader.point(0)->positionX);
        EXPECT_EQ(follower.lastPosition()[0], leader.lastPosition()[0]);
    }
}

TEST_F(CDragInfoTest, DestroyedLeaderClearsTheFollowersLink) {
    moveMouse(10.0, 10.0);
    CDragInfo follower;
    {
        auto leader = std::make_unique<CDragInfo>();
        ASSERT_EQ(leader->start(knob, nullptr, 0, false, false), nullptr);
        ASSERT_EQ(follower.start(knob, leader.get(), 0, false, false), nullptr);
        moveBy(*leader, 3.0, 0.0);
        follower.update(false, true);
        EXPECT_EQ(follower.point(0)->positionX, 3.0);
    }
    EXPECT_EQ(follower.linkedDrag(), nullptr);
    moveBy(follower, 2.0, 0.0);   // now follows the mouse itself
    EXPECT_EQ(follower.point(0)->stepX, 2.0);
    follower.stop();
    EXPECT_EQ(activeDragCount(), 0);
}

TEST_F(CDragInfoTest, InactiveOperationsDoNothing) {
    CDragInfo drag;
    EXPECT_EQ(drag.getDistanceFromOrigin(), 0.0);
    drag.update(false, true);
    drag.parkCursor();
    drag.wrapCursor();
    drag.stop();
    EXPECT_EQ(drag.pointCount(), 1);
    EXPECT_EQ(drag.point(0)->positionX, 0.0);
    EXPECT_EQ(drag.point(0)->gainX, 1.0);
    EXPECT_EQ(drag.valueScale, 0.0);
    EXPECT_EQ(cursorEvents(), 0);
    EXPECT_TRUE(sharedData->cursorCalls.empty());
}

TEST_F(CDragInfoTest, LimitsFromRectsKeepTheItemInsideTheBounds) {
    moveMouse(0.0, 0.0);
    CDragInfo drag;
    ASSERT_EQ(drag.start(knob, nullptr, 0, false, false), nullptr);
    drag.setLimitsFromRects(CAreaRect{30.0, 20.0, 10.0, 5.0}, CAreaRect{0.0, 0.0, 100.0, 50.0});
    EXPECT_EQ(drag.limits[0], 30.0 - 100.0);
    EXPECT_EQ(drag.limits[1], 20.0 - 50.0);
    EXPECT_EQ(drag.limits[2], 40.0);
    EXPECT_EQ(drag.limits[3], 25.0);
    moveBy(drag, 500.0, -500.0);
    EXPECT_EQ(drag.point(0)->positionX, 40.0);
    EXPECT_EQ(drag.point(0)->positionY, -30.0);
}

// Without the settings object a drag logs once and uses the described default factors.
TEST_F(CDragInfoTest, MissingSettingsFallBackToTheDefaults) {
    settings->release();
    CLogCapture log;
    moveMouse(0.0, 0.0);
    CDragInfo drag;
    ASSERT_EQ(drag.start(knob, nullptr, 0, true, true), nullptr);
    for (int i = 0; i < 5; ++i) {
        moveBy(drag, 10.0, 0.0, true);
        EXPECT_NEAR(drag.point(0)->stepX, 2.58199, 5e-6);
        drag.parkCursor();
        runWindowCursorMoves();
    }
    drag.stop();
    EXPECT_EQ(hideCount(), 0);
    int lines = 0;
    for (const std::string& line : log.lines())
        lines += line.find("ui.global-settings") != std::string::npos ? 1 : 0;
    EXPECT_EQ(lines, 1);
}

} // namespace
} // namespace tal
