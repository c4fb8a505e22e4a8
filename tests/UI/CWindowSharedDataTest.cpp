// The windows' shared services on the headless backend. The tree's shared data records some calls
// for the view tests, so the services are called here by their qualified names.
#include "UI/CWindowSharedData.h"

#include "Platform/CNativeEvent.h"
#include "support/CLogCapture.h"
#include "support/RendererTestTree.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

using test::takeMessage;

class CWindowSharedDataTest : public CRendererTestTree {
protected:
    CWindowSharedData& data() { return *sharedData; }
    std::vector<std::string> hover() {
        std::vector<std::string> out;
        for (int i = 0; i < data().hoverPath().count(); ++i)
            out.push_back(text(data().hoverPath()[i]));
        return out;
    }
};

TEST_F(CWindowSharedDataTest, CursorHidingIsCountedAndAStrayShowIsLoggedAndIgnored) {
    CLogCapture log;
    struct Step {
        bool show;
        int count;
        bool hidden;
    };
    // A stray show first: before the fix it drove the count below 0 and the next hide did nothing.
    const Step steps[] = {{true, 0, false}, {false, 1, true}, {false, 2, true}, {true, 1, true},
                          {true, 0, false}, {true, 0, false}, {false, 1, true}};
    for (const Step& s : steps) {
        data().CWindowSharedData::showCursor(s.show);
        EXPECT_EQ(data().cursorHideCount(), s.count);
        EXPECT_EQ(backend.cursorHidden(), s.hidden);
    }
    int mismatches = 0;
    for (const std::string& line : log.lines())
        mismatches += line.find("ERROR: Number of cursor hide/show calls mismatch") != std::string::npos;
    EXPECT_EQ(mismatches, 2);
}

TEST_F(CWindowSharedDataTest, TheViewUnderTheMouseComesFromTheWindowsSectorMap) {
    beginRoot(300, 200, 2.0);
    CView* bg = addView(root, "bg", 0, 0, 300, 200, "101010");
    CView* knob = addView(bg, "knob", 100, 50, 40, 40, "808080");
    openWindow();
    double ox = 0, oy = 0, w = 0, h = 0;
    paintRenderer->getWindowRect(ox, oy, w, h);
    // A visual scale of 2 on a screen of pixel factor 1: the window is 600 x 400 points.
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 400);
    struct Row {
        double x, y;   // window points
        CView* expected;
    };
    for (const Row& r : {Row{220, 120, knob}, Row{10, 10, bg}, Row{199, 120, bg}, Row{-1, 10, nullptr},
                         Row{601, 10, nullptr}}) {
        SCOPED_TRACE(testing::Message() << r.x << "," << r.y);
        data().inputState().mouseX = ox + r.x;
        data().inputState().mouseY = oy + r.y;
        EXPECT_EQ(data().CWindowSharedData::getViewUnderMouse(paintRenderer, 0), r.expected);
    }
    ASSERT_EQ(takeMessage(root->setIntAttr(CString("is-blocked"), 1, true)), "");
    ASSERT_EQ(takeMessage(paintRenderer->setIntAttr(CString("is-blocked"), 1, true)), "");
    data().inputState().mouseX = ox + 220;
    data().inputState().mouseY = oy + 120;
    EXPECT_EQ(data().CWindowSharedData::getViewUnderMouse(paintRenderer, 0), nullptr);
}

TEST_F(CWindowSharedDataTest, AModalWindowBlocksTheOthersUntilItGoes) {
    beginRoot(200, 100);
    CView* main = root;
    openWindow();
    CWindowRenderer* mainRenderer = paintRenderer;
    EXPECT_EQ(data().getMainWindow(), mainRenderer);
    EXPECT_EQ(main->getIntAttr("is-blocked"), 0);
    beginRoot(100, 50, 1.0, {{"is-modal-window", "true"}});
    CView* modal = root;
    openWindow();
    EXPECT_EQ(data().windowList().count(), 2);
    EXPECT_EQ(main->getIntAttr("is-blocked"), 1);
    EXPECT_EQ(modal->getIntAttr("is-blocked"), 0);
    modal->release();
    EXPECT_EQ(data().windowList().count(), 1);
    EXPECT_EQ(main->getIntAttr("is-blocked"), 0);
    // The main window goes too; the process is never asked to end, the main window is forgotten.
    main->release();
    root = nullptr;
    EXPECT_EQ(data().windowList().count(), 0);
    EXPECT_EQ(data().getMainWindow(), nullptr);
    EXPECT_FALSE(data().processEvents(10));   // no window left
}

TEST_F(CWindowSharedDataTest, ProcessEventsDeliversOnlyTheBackendsEventsAndPostedCalls) {
    beginRoot(200, 100);
    addView(root, "bg", 0, 0, 200, 100, "202020");
    openWindow();
    CNativeEvent move;
    move.type = CNativeEvent::Type::MouseMove;
    move.x = 20, move.y = 30;
    backend.injectEvent(paintRenderer->windowId(), move);
    int posted = 0;
    ASSERT_TRUE(loop.postCall([](void* c, std::int64_t v) { *static_cast<int*>(c) += int(v); }, &posted, 5));
    const int timers = loop.timerCount();
    EXPECT_TRUE(data().processEvents(10));
    EXPECT_TRUE(paintRenderer->isMouseInside());
    EXPECT_EQ(posted, 5);
    EXPECT_EQ(backend.pendingEventCount(), 0);
    EXPECT_EQ(loop.nowNanos(), 0u);   // the clock did not move: no timer ran
    EXPECT_EQ(loop.timerCount(), timers);
    EXPECT_TRUE(data().processEvents(0));   // nothing delivered, a window is left
}

TEST_F(CWindowSharedDataTest, TheHoverPathFollowsTheViewAndItsParents) {
    beginRoot(200, 100);
    CView* bg = addView(root, "bg", 0, 0, 200, 100, "202020");
    CView* knob = addView(bg, "knob", 10, 10, 20, 20, "808080");
    CView* label = addView(root, "label", 100, 10, 50, 20, "808080");
    openWindow();
    ASSERT_EQ(takeMessage(data().CWindowSharedData::updateHoverPath(knob)), "");
    EXPECT_EQ(hover(), (std::vector<std::string>{text(knob->getFullName()), text(bg->getFullName()),
                                                 text(root->getFullName())}));
    ASSERT_EQ(takeMessage(data().CWindowSharedData::updateHoverPath(label)), "");
    EXPECT_EQ(hover(), (std::vector<std::string>{text(label->getFullName()), text(root->getFullName())}));
    ASSERT_EQ(takeMessage(data().CWindowSharedData::updateHoverPath(nullptr)), "");
    EXPECT_TRUE(hover().empty());
}

TEST_F(CWindowSharedDataTest, PointerMovesOfTheBackendUpdateTheInputStateAndTheHoverPath) {
    beginRoot(200, 100, 2.0);
    CView* bg = addView(root, "bg", 0, 0, 200, 100, "202020");
    CView* knob = addView(bg, "knob", 10, 10, 20, 20, "808080");
    openWindow();
    double ox = 0, oy = 0, w = 0, h = 0;
    paintRenderer->getWindowRect(ox, oy, w, h);
    // The tree's shared data answers the view under the mouse as the test sets it and records the
    // hover updates; the lookup itself is tested above.
    for (CView* under : {knob, bg}) {
        sharedData->viewUnderMouse = under;
        CNativeEvent move;
        move.type = CNativeEvent::Type::MouseMove;
        move.x = under == knob ? 15 : 100, move.y = 40;
        backend.injectEvent(paintRenderer->windowId(), move);
        backend.processEvents();
        EXPECT_EQ(data().inputState().mouseX, ox + move.x);
        EXPECT_EQ(data().inputState().mouseY, oy + 40);
        ASSERT_FALSE(sharedData->hovered.empty());
        EXPECT_EQ(sharedData->hovered.back(), under);
    }
    EXPECT_TRUE(paintRenderer->isMouseInside());
}

TEST_F(CWindowSharedDataTest, KeyFocusGoesOnlyToFocusableEnabledViews) {
    beginRoot(200, 100);
    CView* field = addView(root, "field", 0, 0, 50, 20, "202020", {{"is-focusable", "true"}});
    CView* plain = addView(root, "plain", 60, 0, 50, 20, "202020");
    CView* off = addView(root, "off", 120, 0, 50, 20, "202020", {{"is-focusable", "true"}, {"is-disabled", "true"}});
    openWindow();
    ASSERT_EQ(takeMessage(data().setKeyFocusView(field, true)), "");
    EXPECT_EQ(data().getKeyFocusView(), field);
    ASSERT_EQ(takeMessage(data().setKeyFocusView(off, false)), "");
    EXPECT_EQ(data().getKeyFocusView(), nullptr);
    ASSERT_EQ(takeMessage(data().setKeyFocusView(plain, false)), "");
    EXPECT_EQ(data().getKeyFocusView(), nullptr);
}

} // namespace
} // namespace tal
