// What a view reaches of its window (renderer, mouse, cursor, frame clock, close confirmation), its
// attribute handlers and the tree dump.
#include "UI/CView.h"

#include "Core/CAttrMap.h"
#include "Core/CEventRegistry.h"
#include "UI/CViewColorTable.h"
#include "support/CLogCapture.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace tal {
namespace {

class CViewServicesTest : public CViewTestTree {
protected:
    // A 100 x 60 window with a 40 x 20 panel at the top left.
    CView* window = nullptr;
    CView* panel = nullptr;
    void buildWindow(Attrs panelAttrs = {}) {
        window = beginWindow("window", {{"width", "100"}, {"height", "60"}, {"alignment-h", "left"}});
        panel = begin(window, "panel", {{"placement", "top"}, {"width", "40"}, {"height", "20"}});
        for (const auto& [key, value] : panelAttrs) EXPECT_EQ(test::takeMessage(panel->setAttr(CString(key), CString(value), true)), "");
        finish(panel);
        finish(window);
        EXPECT_EQ(takeError(), "");
    }
    static double number(const std::string& line, const std::string& key) {
        const std::size_t at = line.find(" " + key + "=");
        return at == std::string::npos ? NAN : std::stod(line.substr(at + key.size() + 2));
    }
};

TEST_F(CViewServicesTest, WithoutAWindowTheServicesGiveNeutralValues) {
    CView* bare = build(ui, "bare", {{"is-root-view", "true"}, {"width", "10"}, {"height", "10"}});
    ASSERT_EQ(takeError(), "");
    double point[2] = {5.0, 5.0};
    EXPECT_FALSE(bare->getMousePosition(point, false, true));
    EXPECT_EQ(point[0], -1.0);
    EXPECT_EQ(point[1], -1.0);
    bare->getWindowOrigin(point);
    EXPECT_EQ(point[0], 0.0);
    EXPECT_EQ(point[1], 0.0);
    EXPECT_EQ(bare->getMouseScale(), 1.0);
    EXPECT_EQ(bare->getWindowRenderer(), nullptr);
    EXPECT_EQ(bare->getMainRootView(), nullptr);
    EXPECT_FALSE(bare->isMouseInWindow());
    EXPECT_EQ(bare->getNativeWindowRef(), nullptr);
    EXPECT_EQ(bare->runEvent(CString("close-window")), nullptr);
    bare->moveMouseCursorInWindow(3.0, 4.0);
}

TEST_F(CViewServicesTest, TheMousePositionIsRelativeToTheViewWithinAHundredthOfAPixel) {
    buildWindow();
    window->area()->setWindowScale(2.0, 2.0);
    ASSERT_EQ(window->updateLayout(), nullptr);
    renderer->actualX = 300.0;
    renderer->actualY = 200.0;
    const CAreaRect total = panel->area()->totalRect();
    const struct {
        double dx;   // window pixels left of the view's left edge
        bool inside;
    } cases[] = {{0.005, true}, {0.02, false}, {-0.5, true}};
    for (const auto& c : cases) {
        sharedData->inputState().mouseX = 300.0 + (total.x - c.dx) / 2.0;
        sharedData->inputState().mouseY = 200.0 + (total.y + 3.0) / 2.0;
        double point[2];
        EXPECT_EQ(panel->getMousePosition(point, false, true), c.inside) << c.dx;
        EXPECT_NEAR(point[0], -c.dx, 1e-9);
        EXPECT_NEAR(point[1], 3.0, 1e-9);
    }
    // Not relative: the window coordinates and whether the mouse is in the window.
    double point[2];
    renderer->setMouseInside(true);
    EXPECT_TRUE(panel->getMousePosition(point, false, false));
    EXPECT_NEAR(point[0], total.x + 0.5, 1e-9);
}

TEST_F(CViewServicesTest, CursorMovesGoToTheScreenThroughTheRenderer) {
    buildWindow();
    window->area()->setWindowScale(2.0, 2.0);
    ASSERT_EQ(window->updateLayout(), nullptr);
    ASSERT_EQ(renderer->updateActualPosition(true), nullptr);
    renderer->actualX = 300.0;
    renderer->actualY = 200.0;
    ASSERT_EQ(renderer->updateActualPosition(true), nullptr);
    renderer->events.clear();
    panel->moveMouseCursor(10.0, 6.0);
    ASSERT_EQ(renderer->events.size(), 2u);
    EXPECT_EQ(renderer->events[0], "update-window-origin");
    const CAreaRect total = panel->area()->totalRect();
    EXPECT_DOUBLE_EQ(number(renderer->events[1], "x"), (10.0 + total.x) / 2.0 + 300.0);
    EXPECT_DOUBLE_EQ(number(renderer->events[1], "y"), (6.0 + total.y) / 2.0 + 200.0);
    renderer->events.clear();
    panel->moveMouseCursorToScreen(7.5, 8.25);
    ASSERT_EQ(renderer->events.size(), 1u);
    EXPECT_DOUBLE_EQ(number(renderer->events[0], "x"), 7.5);
    EXPECT_DOUBLE_EQ(number(renderer->events[0], "y"), 8.25);
    // A failing window event is logged and dropped.
    renderer->failEvent = "move-mouse-cursor";
    CLogCapture log;
    panel->moveMouseCursorToScreen(1.0, 1.0);
    EXPECT_FALSE(log.lines().empty());
    panel->showCursor(false);
    panel->showCursor(true);
    EXPECT_EQ(sharedData->cursorCalls, (std::vector<bool>{false, true}));
}

TEST_F(CViewServicesTest, WindowEventsAndCloseRequestsReachTheRenderer) {
    buildWindow();
    renderer->events.clear();
    ASSERT_EQ(panel->runEvent(CString("close-window")), nullptr);
    ASSERT_EQ(panel->runEvent(CString("minimize-window")), nullptr);
    CAttrMap request;
    request.findOrAdd("queue-id")->value.setText(CString("7"));
    request.findOrAdd("window-closer")->value.setText(renderer->getFullName());
    ASSERT_EQ(panel->runEvent(CString("pre-close-window"), &request), nullptr);
    EXPECT_EQ(renderer->events, (std::vector<std::string>{"close-window", "minimize-window",
                                                          "confirm-close-window queue-id=7 window=" +
                                                              text(panel->getFullName())}));
    // A view that asks the user first answers later through the event bridge.
    renderer->events.clear();
    ASSERT_EQ(CView::confirmCloseWindow(panel, request, false, true), nullptr);
    EXPECT_TRUE(renderer->events.empty());
    bridge->pump();
    ASSERT_EQ(renderer->events.size(), 1u);
    EXPECT_EQ(renderer->events[0].rfind("deny-close-window ", 0), 0u) << renderer->events[0];
    EXPECT_NE(renderer->events[0].find(" queue-id=7"), std::string::npos);
    EXPECT_NE(renderer->events[0].find(" window=" + text(panel->getFullName())), std::string::npos);
    CAttrMap lost;
    lost.findOrAdd("window-closer")->value.setText(CString("ui.nowhere"));
    CError* err = panel->runEvent(CString("pre-close-window"), &lost);
    ASSERT_NE(err, nullptr);
    EXPECT_NE(text(err->message()).find("ui.nowhere"), std::string::npos);
    delete err;
    renderer->failEvent = "close-window";
    err = panel->runEvent(CString("close-window"));
    EXPECT_NE(err, nullptr);
    delete err;
}

TEST_F(CViewServicesTest, TheMainRootViewIsThatOfTheOutermostWindow) {
    buildWindow();
    CView* main = window;
    CRecordingWindowRenderer* mainRenderer = renderer;
    CView* popup = beginWindow("popup", {{"width", "20"}, {"height", "20"}});
    finish(popup);
    ASSERT_EQ(takeError(), "");
    renderer->outer = mainRenderer;
    EXPECT_EQ(popup->getMainRootView(), main);
    EXPECT_EQ(panel->getMainRootView(), main);
}

TEST_F(CViewServicesTest, HoverIsRefreshedOnlyForTheViewUnderTheMouse) {
    buildWindow();
    sharedData->viewUnderMouse = window;
    ASSERT_EQ(panel->updateHover(), nullptr);
    EXPECT_TRUE(sharedData->hovered.empty());
    sharedData->viewUnderMouse = panel;
    ASSERT_EQ(panel->updateHover(), nullptr);
    EXPECT_EQ(sharedData->hovered, std::vector<CView*>({panel}));
}

TEST_F(CViewServicesTest, HidingAViewRepaintsTheWholeWindow) {
    buildWindow();
    journal.clear();
    ASSERT_EQ(panel->setAttr(CString("is-hidden"), CString("true"), true), nullptr);
    const std::string expected = "invalidate " + text(panel->getFullName()) + " " + rectText(window->area()->totalRect());
    EXPECT_NE(std::find(journal.begin(), journal.end(), expected), journal.end());
}

TEST_F(CViewServicesTest, ColourAndDebugAttributesRepaintOnlyWhenTheyApply) {
    buildWindow();
    CView* borrower = build(window, "borrower", {{"shared-color", "ui.window.panel"}, {"placement", "bottom"},
                                                 {"width", "10"}, {"height", "10"}});
    ASSERT_EQ(takeError(), "");
    auto flush = [&] {
        ASSERT_EQ(window->updateLayout(), nullptr);
        std::unique_ptr<CLayoutAreaList> list(window->area()->solver()->takeRedrawList());
        if (list != nullptr)
            for (int i = 0; i < list->count(); ++i)
                dynamic_cast<CViewBasePlacement*>((*list)[i]->owner())->clearRedrawRequests();
    };
    flush();
    ASSERT_EQ(borrower->setAttr(CString("color"), CString("Other"), true), nullptr);
    EXPECT_EQ(text(panel->colorTable()->prefix()), "Panel");
    EXPECT_FALSE(borrower->isFullRedrawPending());
    ASSERT_EQ(panel->setAttr(CString("color"), CString("Knob"), true), nullptr);
    EXPECT_EQ(text(panel->colorTable()->prefix()), "Knob");
    EXPECT_TRUE(panel->colorTable()->isDirty());
    EXPECT_TRUE(panel->isFullRedrawPending());
    flush();
    ASSERT_EQ(panel->setAttr(CString("debug-area"), CString("nonsense"), true), nullptr);
    EXPECT_FALSE(panel->isDebugArea());
    EXPECT_FALSE(panel->isFullRedrawPending());
    ASSERT_EQ(panel->setAttr(CString("debug-area"), CString("true"), true), nullptr);
    EXPECT_TRUE(panel->isDebugArea());
    EXPECT_TRUE(panel->isFullRedrawPending());
}

TEST_F(CViewServicesTest, GradientAnimationRunsOverTheSubtreeOnTheFrameClock) {
    buildWindow();
    CView* inner = build(panel, "inner", {{"placement", "top"}, {"width", "10"}, {"height", "10"}});
    ASSERT_EQ(takeError(), "");
    sharedData->setFrameClock(10.0);
    ASSERT_EQ(panel->setAttr(CString("is-gradient-animated"), CString("1"), true), nullptr);
    EXPECT_TRUE(inner->isGradientAnimated());
    // g = 0.5 + 0.5 sin(20/pi t - pi/2): 0 at the start, 1 after pi^2/20 s, 0.5 halfway.
    const struct {
        double t, g;
    } cases[] = {{0.0, 0.0}, {std::numbers::pi * std::numbers::pi / 20.0, 1.0}, {std::numbers::pi * std::numbers::pi / 40.0, 0.5}};
    for (const auto& c : cases) {
        sharedData->setFrameClock(10.0 + c.t);
        ASSERT_EQ(renderer->fireEvent(CString("render"), false), nullptr);
        EXPECT_NEAR(inner->colorTable()->gradientPosition(), c.g, 1e-9) << c.t;
        EXPECT_NEAR(panel->colorTable()->gradientPosition(), c.g, 1e-9) << c.t;
    }
    ASSERT_EQ(panel->setAttr(CString("is-gradient-animated"), CString("false"), true), nullptr);
    EXPECT_FALSE(inner->isGradientAnimated());
    ASSERT_EQ(renderer->fireEvent(CString("render"), false), nullptr);
    EXPECT_EQ(inner->colorTable()->gradientPosition(), 0.0);
    EXPECT_FALSE(registry().hasSender(renderer->getFullName()));
}

TEST_F(CViewServicesTest, TheTreeDumpListsAttributesAndChildren) {
    buildWindow({{"color-slots", "a|b"}});
    CObject* plain = nullptr;
    ASSERT_EQ(test::takeMessage(panel->addChild(plain, CString("core:object"), CString("note"), false)), "");
    ASSERT_EQ(plain->setAttr(CString("text"), CString("hello"), false), nullptr);
    CLogCapture log;
    CStringList extra;
    extra.add("first extra");
    ASSERT_EQ(panel->dumpTree(nullptr, 0, &extra), nullptr);
    const std::vector<std::string> lines = log.lines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines.front(), "<ui:view> // " + text(panel->getFullName()));
    EXPECT_EQ(lines[1], "    first extra");
    EXPECT_EQ(lines.back(), "</ui:view>");
    const auto at = [&](const char* prefix) {
        return std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) - lines.begin();
    };
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("    color-slots=\"a|b\""));
    EXPECT_TRUE(has("    <core:object>    "));
    EXPECT_TRUE(has("        text=\"hello\""));
    EXPECT_TRUE(has("    </core:object>    "));
    EXPECT_LT(at("    * CLIP-AREA: "), at("    color-slots="));   // the area's lines come first
    // Attributes come in name order.
    EXPECT_LT(at("    color-slots="), at("    height="));
    EXPECT_LT(at("    height="), at("    width="));
}

} // namespace
} // namespace tal
