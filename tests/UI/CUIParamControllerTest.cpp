// The drag controller against a recording editor: drags measured in points at pixel scales 1 and 2,
// fine drags, undo steps per gesture, pacing on timer ticks, multi-change edits, wheel steps and the
// element range bounds.
#include "UI/CUIParamController.h"

#include "support/ControllerTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

using CUIParamControllerTest = CControllerTestTree;

TEST_F(CUIParamControllerTest, DragTableAtPrecision08) {
    struct Case { double pixelScale; double dy; bool fine; double expected; };
    const Case cases[] = {
        {1.0, -100.0, false, 0.51867241},   // 100 points up: 100 x 0.05 x 0.02^0.8
        {2.0, -100.0, false, 0.51867241},   // the same travel in points at twice the density
        {1.0, -100.0, true, 0.44578161},    // fine at shift precision 0: two thirds of it
        {1.0, 50.0, false, 0.19066379},     // 50 points down
    };
    CUIParamController* c = controller({});
    ASSERT_NE(c, nullptr);
    for (const Case& row : cases) {
        SCOPED_TRACE(std::to_string(row.pixelScale) + " " + std::to_string(row.dy) + (row.fine ? " fine" : ""));
        setValues(0, {0.3, 0.3, 0.3, 0.3});
        dynamic_cast<CView*>(window)->area()->setWindowScale(row.pixelScale, row.pixelScale);
        moveMouseTo(200.0, 300.0);
        c->handleMousePress(CUIParamController::DragShift, 1, 1, nullptr, false, false);
        moveBy(c, 0.0, row.dy / 2.0, row.fine);
        moveBy(c, 0.0, row.dy / 2.0, row.fine);
        c->handleMouseRelease();
        EXPECT_NEAR(valueOf(0, 1), row.expected, 1e-8);
        EXPECT_NEAR(valueOf(0, 0), 0.3, 1e-12);   // only the pressed element moves
    }
}

TEST_F(CUIParamControllerTest, OneUndoStepPerGestureAndNoneWithoutASentValue) {
    CUIParamController* c = controller({});
    connector->take();
    moveMouseTo(100.0, 100.0);
    c->handleMousePress(CUIParamController::DragShift, 0, 1, nullptr, false, false);
    c->handleMouseRelease();
    EXPECT_TRUE(lines("submit-undo-data").empty());
    EXPECT_TRUE(lines("change-param").empty());

    c->handleMousePress(CUIParamController::DragShift, 0, 1, nullptr, false, false);
    for (int i = 0; i < 5; ++i)
        moveBy(c, 0.0, -10.0);
    EXPECT_TRUE(c->isGestureOpen());
    EXPECT_TRUE(lines("submit-undo-data").empty());
    c->handleMouseRelease();
    EXPECT_EQ(lines("change-param").size(), 5u);
    EXPECT_EQ(lines("submit-undo-data").size(), 1u);
    EXPECT_FALSE(c->isGestureOpen());
    EXPECT_FALSE(c->drag.isActive());
}

TEST_F(CUIParamControllerTest, PacedValuesReachTheParameterOnTicksInElementOrder) {
    CUIParamController* c = controller({{"update-fps", "20"}});
    ASSERT_NE(c->updateTimer(), nullptr);
    EXPECT_EQ(c->updateTimer()->getIntAttr("fps"), 20);
    connector->take();
    moveMouseTo(100.0, 100.0);
    c->handleMousePress(CUIParamController::DragShift, -1, -1, nullptr, false, false);
    ASSERT_EQ(c->draggedCount(), 4);
    moveBy(c, 0.0, -20.0);
    moveBy(c, 0.0, -20.0);
    EXPECT_TRUE(lines("change-param").empty());   // nothing between ticks
    EXPECT_NEAR(valueOf(0, 2), 0.3, 1e-12);
    ASSERT_EQ(takeMessage(c->updateTimer()->fireEvent(CString("tick"), false)), "");
    const std::vector<std::string> tick = lines("change-param");
    ASSERT_EQ(tick.size(), 4u);   // one per element, the latest value only
    for (int e = 0; e < 4; ++e)
        EXPECT_NE(tick[std::size_t(e)].find(" f" + std::to_string(e) + " "), std::string::npos) << tick[std::size_t(e)];
    const double step = 40.0 * settings->dragPrecisionFactor;
    EXPECT_NEAR(valueOf(0, 3), 0.3 + step, 1e-9);
    moveBy(c, 0.0, -20.0);
    connector->take();
    c->handleMouseRelease();   // flushes the last values and commits
    EXPECT_EQ(lines("change-param").size(), 4u);
    EXPECT_EQ(lines("submit-undo-data").size(), 1u);
    EXPECT_NEAR(valueOf(0, 0), 0.3 + 60.0 * settings->dragPrecisionFactor, 1e-9);
}

TEST_F(CUIParamControllerTest, MultiChangeMovesEveryActiveGroupByTheSameDifference) {
    struct Case { double other; double expectedOther; };
    const Case cases[] = {{0.5, 0.6}, {1.0, 1.0}};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.other);
        setValues(0, {0.3, 0.3, 0.3, 0.3});
        setValues(1, {row.other, row.other, row.other, row.other});
        CObject* list = window->findChild(CString("groups"));
        if (list == nullptr) {
            ASSERT_EQ(takeMessage(CParamTestTree::build(list, window, "ui:value-list-manual", "groups", {})), "");
            CStringList items;
            items.add("L;1");
            items.add("R;2");
            ASSERT_EQ(takeMessage(dynamic_cast<CValueList*>(list)->setItems(items)), "");
        }
        CUIParamController* c = dynamic_cast<CUIParamController*>(knob->findChild(CString("ui-param-controller")));
        if (c == nullptr)
            c = controller({{"active-audio-groups", "ui.window.groups"}});
        c->setMultiChange(true);
        moveMouseTo(100.0, 100.0);
        c->handleMousePress(CUIParamController::DragShift, 0, 1, nullptr, false, false);
        moveBy(c, 0.0, -0.1 / settings->dragPrecisionFactor);
        c->handleMouseRelease();
        EXPECT_EQ(c->activeGroups().count(), 2);
        EXPECT_NEAR(valueOf(0, 0), 0.4, 1e-9);
        EXPECT_NEAR(valueOf(1, 0), row.expectedOther, 1e-9);
        EXPECT_NEAR(valueOf(1, 1), row.other, 1e-12);
    }
}

TEST_F(CUIParamControllerTest, ScaleDragAboutTheMiddleOfTheSpread) {
    setValues(0, {0.2, 0.4, 0.9, 0.3});
    CUIParamController* c = controller({});
    moveMouseTo(100.0, 100.0);
    c->handleMousePress(CUIParamController::DragScale, 0, 3, nullptr, false, false);
    EXPECT_NEAR(c->pivot(), 0.55, 1e-12);   // (0.2 + 0.9) / 2
    moveBy(c, 0.0, -0.5 / settings->dragPrecisionFactor);   // d = -0.5: s = 1.5
    c->handleMouseRelease();
    EXPECT_NEAR(valueOf(0, 0), 0.025, 1e-9);    // (0.2 - 0.55) x 1.5 + 0.55
    EXPECT_NEAR(valueOf(0, 1), 0.325, 1e-9);
    EXPECT_NEAR(valueOf(0, 2), 1.0, 1e-9);      // 1.075 sent as 1
    EXPECT_NEAR(valueOf(0, 3), 0.3, 1e-12);
}

TEST_F(CUIParamControllerTest, RangesAreBoundedByTheParameter) {
    CUIParamController* c = controller({});
    struct Case { int element, count, first, dragged; };
    const Case cases[] = {{-1, -1, 0, 4}, {2, 5, 2, 2}, {6, 1, 0, 0}, {-3, 4, 0, 1}};
    for (const Case& row : cases) {
        SCOPED_TRACE(std::to_string(row.element) + " " + std::to_string(row.count));
        c->handleMousePress(CUIParamController::DragShift, row.element, row.count, nullptr, false, false);
        EXPECT_EQ(c->draggedCount(), row.dragged);
        if (row.dragged > 0) {
            EXPECT_EQ(c->firstElement(), row.first);
        }
        c->handleMouseRelease();
    }
    // The wheel's raw range is bounded as well: element 9 does not exist and nothing is sent.
    connector->take();
    c->handleMouseWheel(9, 1, false, 1.0);
    EXPECT_TRUE(lines("change-param").empty());
}

TEST_F(CUIParamControllerTest, WheelStepsBySignAndIsIgnoredDuringAnOpenGesture) {
    CUIParamController* c = controller({});
    const double step = settings->mouseWheelPrecisionFactor;
    c->handleMouseWheel(1, 1, false, 1.0);
    EXPECT_NEAR(valueOf(0, 1), 0.3 + step, 1e-12);
    c->handleMouseWheel(1, 1, false, -2.0);
    EXPECT_NEAR(valueOf(0, 1), 0.3 - step, 1e-12);
    connector->take();
    c->handleMouseWheel(1, 1, false, 0.0);   // no movement, no change
    EXPECT_TRUE(lines("change-param").empty());
    moveMouseTo(100.0, 100.0);
    c->handleMousePress(CUIParamController::DragShift, 1, 1, nullptr, false, false);
    moveBy(c, 0.0, -10.0);
    const double during = valueOf(0, 1);
    c->handleMouseWheel(1, 1, false, 1.0);
    EXPECT_EQ(valueOf(0, 1), during);
    c->handleMouseRelease();
}

TEST_F(CUIParamControllerTest, DestroyingTheControllerMidDragShowsTheCursorAgain) {
    CUIParamController* c = controller({});
    moveMouseTo(100.0, 100.0);
    c->handleMousePress(CUIParamController::DragShift, 0, 1, nullptr, false, false);
    moveBy(c, 0.0, -10.0);
    EXPECT_TRUE(c->drag.isActive());
    EXPECT_EQ(input().activeDrags.count(), 1);
    c->release();
    EXPECT_EQ(input().activeDrags.count(), 0);
}

TEST_F(CUIParamControllerTest, APressDuringADragReleasesItFirst) {
    CUIParamController* c = controller({});
    moveMouseTo(100.0, 100.0);
    c->handleMousePress(CUIParamController::DragShift, 0, 1, nullptr, false, false);
    moveBy(c, 0.0, -10.0);
    connector->take();
    c->handleMousePress(CUIParamController::DragShift, 1, 1, nullptr, false, false);
    EXPECT_EQ(lines("submit-undo-data").size(), 1u);   // the lost release's gesture is committed
    EXPECT_EQ(input().activeDrags.count(), 1);
    c->handleMouseRelease();
}

} // namespace
} // namespace tal
