// Popups, close requests through the window closer, closing and the end of windows, with real
// window renderers on the headless backend.
#include "UI/CWindowCloser.h"
#include "UI/CWindowRenderer.h"
#include "UI/CWindowSharedData.h"
#include "support/MultiWindowTestTree.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

using test::takeMessage;

class CWindowClosingTest : public CMultiWindowTestTree {
protected:
    CView* mainWindow() { return addWindow(ui, "main", 400, 300, {}, {{"is-main-window", "true"}}); }
    bool exists(const char* fullName) { return ui->findObject(CString(fullName)) != nullptr; }
    // A popup window opened from a 20 x 20 view "button" of the main window, registered as the popup.
    CView* popupOfButton(CView* main, const char* openerPath = nullptr) {
        CView* button = build(main, "button", {{"width", "20"}, {"height", "20"}});
        const std::string opener = openerPath != nullptr ? openerPath : button->getFullName().narrowed().chars8();
        return addWindow(button, "popup-1", 60, 40,
                         {{"is-popup-window", "true"}, {"window-alignment", "bottom"}, {"opener", opener.c_str()}});
    }
    CWindowSharedData& data() { return *sharedData; }
    void close(CView* window) { EXPECT_EQ(takeMessage(rendererOf(window)->runEvent(CString("close-window"))), ""); }
};

TEST_F(CWindowClosingTest, ModalWindowsBlockTheWindowsOutsideThemButNotTheirPopups) {
    CView* main = mainWindow();
    CView* a = addWindow(main, "a", 100, 100, {{"is-modal-window", "true"}});
    CView* b = addWindow(main, "b", 100, 100, {{"is-modal-window", "true"}});
    CView* popup = addWindow(b, "popup", 60, 40, {{"is-popup-window", "true"}, {"window-alignment", "bottom"}});
    EXPECT_EQ(main->getIntAttr("is-blocked"), 1);
    EXPECT_EQ(a->getIntAttr("is-blocked"), 1);
    EXPECT_EQ(b->getIntAttr("is-blocked"), 0);
    EXPECT_EQ(popup->getIntAttr("is-blocked"), 0);
    // The renderer follows its root view's value through its binding in a description; here the
    // shared data's list holds all four.
    EXPECT_EQ(data().windowList().count(), 4);
}

TEST_F(CWindowClosingTest, ClosingAWindowAsksItsModalChildrenFirstThenThePlainOnesThenItself) {
    CView* main = mainWindow();
    CView* a = addWindow(main, "a", 200, 150);
    addWindow(a, "p", 50, 50);
    addWindow(a, "m", 50, 50, {{"is-modal-window", "true"}});
    addWindow(main, "other", 50, 50);
    askedViews.clear();
    close(a);
    EXPECT_EQ(askedViews, (std::vector<std::string>{"m 1", "p 1", "a 1"}));
    EXPECT_EQ(closer->queueCount(), 0);
    // All confirmed: the window closed; the release follows through the event bridge.
    EXPECT_FALSE(rendererOf(a)->isOpened());
    settle();
    EXPECT_FALSE(exists("ui.main.a"));
    EXPECT_TRUE(exists("ui.main.other"));
    EXPECT_EQ(data().windowList().count(), 2);
}

TEST_F(CWindowClosingTest, AnswersDecideTheClose) {
    struct Case {
        const char* name;
        const char* firstAnswer;    // of the window's child, asked first
        const char* secondAnswer;   // of the window itself
        // Later answers in order: (index 0 first view, 1 second), confirm.
        std::vector<std::pair<int, bool>> later;
        std::vector<std::string> asked;
        bool closed;
    };
    const Case cases[] = {
        {"denied at once: the rest is never asked", "deny", "confirm", {}, {"child 1"}, false},
        {"an error of the handler cancels", "fail", "confirm", {}, {"child 1"}, false},
        {"confirmed at once by both", "confirm", "confirm", {}, {"child 1", "win 1"}, true},
        {"confirmed later, second first", "later", "later", {{1, true}, {0, true}}, {"child 1", "win 1"}, true},
        {"second denies, then first confirms", "later", "later", {{1, false}, {0, true}}, {"child 1", "win 1"},
         false},
        {"first denies while the second is unanswered", "later", "later", {{0, false}, {1, true}},
         {"child 1", "win 1"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CView* main = mainWindow();
        CView* win = addWindow(main, "win", 100, 100, {{"close-answer", c.secondAnswer}});
        CView* child = addWindow(win, "child", 40, 40, {{"close-answer", c.firstAnswer}, {"is-modal-window", "true"}});
        askedViews.clear();
        close(win);
        for (const auto& [index, confirm] : c.later) {
            CCloseTestView* v = index == 0 ? static_cast<CCloseTestView*>(child) : static_cast<CCloseTestView*>(win);
            EXPECT_EQ(takeMessage(v->answerLater(confirm)), "");
        }
        EXPECT_EQ(askedViews, c.asked);
        EXPECT_EQ(rendererOf(win)->isOpened(), !c.closed);
        // Every queue is gone: done, or cancelled by a denial (also one that came while another
        // view had not answered).
        EXPECT_EQ(closer->queueCount(), 0);
        settle();
        EXPECT_EQ(exists("ui.main.win"), !c.closed);
    }
}

TEST_F(CWindowClosingTest, QueueIdsCountUpAlsoAfterCancelledCloses) {
    CView* main = mainWindow();
    CView* stubborn = addWindow(main, "stubborn", 80, 80, {{"close-answer", "deny"}});
    CView* willing = addWindow(main, "willing", 80, 80);
    askedViews.clear();
    close(stubborn);
    close(stubborn);
    close(willing);
    EXPECT_EQ(askedViews, (std::vector<std::string>{"stubborn 1", "stubborn 2", "willing 3"}));
    EXPECT_EQ(closer->nextQueueId(), 4);
}

TEST_F(CWindowClosingTest, AConfirmationFromAViewOutsideTheQueueCompletesNothing) {
    CView* main = mainWindow();
    CView* win = addWindow(main, "win", 80, 80, {{"close-answer", "later"}});
    close(win);
    CAttrMap args;
    args.findOrAdd("queue-id")->value.setInt(1);
    args.findOrAdd("window")->value.setText(CString("ui.main"));
    EXPECT_EQ(takeMessage(closer->runEvent(CString("confirm-close-window"), &args)), "");
    EXPECT_TRUE(closer->hasQueue(1));
    EXPECT_TRUE(rendererOf(win)->isOpened());
}

TEST_F(CWindowClosingTest, PopupChangedRegistersThePopupOfTheOpenersWindow) {
    CView* main = mainWindow();
    CView* button = build(main, "button", {{"width", "20"}, {"height", "20"}});
    CView* popup = addWindow(button, "popup-1", 60, 40, {{"window-alignment", "bottom"}});
    CAttrMap args;
    args.findOrAdd("opener")->value.setText(button->getFullName());
    args.findOrAdd("popup")->value.setText(popup->getFullName());
    EXPECT_EQ(takeMessage(rendererOf(main)->runEvent(CString("popup-changed"), &args)), "");
    EXPECT_EQ(data().getPopup(), rendererOf(popup));
    EXPECT_EQ(data().getPopupRootView(), popup);
    EXPECT_EQ(data().popupOpenerPath(), button->getFullName());
    // Empty parameters forget it.
    CAttrMap none;
    none.findOrAdd("opener")->value.setText(CString());
    none.findOrAdd("popup")->value.setText(CString());
    EXPECT_EQ(takeMessage(rendererOf(main)->runEvent(CString("popup-changed"), &none)), "");
    EXPECT_EQ(data().getPopup(), nullptr);
}

TEST_F(CWindowClosingTest, ADeactivatedPopupClosesAtTheNextTickUnlessActivatedAgain) {
    CView* main = mainWindow();
    CView* popup = popupOfButton(main);
    CWindowRenderer* r = rendererOf(popup);
    ASSERT_EQ(data().getPopup(), r);
    // Only the registered popup is deactivated.
    EXPECT_EQ(takeMessage(rendererOf(main)->runEvent(CString("deactivate-window"))), "");
    EXPECT_FALSE(rendererOf(main)->getBoolAttr("popup-deactivated"));
    EXPECT_EQ(takeMessage(r->runEvent(CString("deactivate-window"))), "");
    EXPECT_TRUE(r->getBoolAttr("popup-deactivated"));
    EXPECT_EQ(takeMessage(r->runEvent(CString("activate-window"))), "");
    EXPECT_FALSE(r->getBoolAttr("popup-deactivated"));
    tick();
    EXPECT_TRUE(r->isOpened());
    EXPECT_EQ(takeMessage(r->runEvent(CString("deactivate-window"))), "");
    const std::int32_t queues = closer->nextQueueId();
    tick();
    EXPECT_FALSE(r->isOpened());
    EXPECT_EQ(closer->nextQueueId(), queues + 1);
    EXPECT_EQ(data().getPopup(), nullptr);
}

TEST_F(CWindowClosingTest, AClosedWindowIsNeverClosedAgainBeforeItsRelease) {
    CView* main = mainWindow();
    CView* popup = popupOfButton(main);
    CWindowRenderer* r = rendererOf(popup);
    ASSERT_EQ(takeMessage(r->setIntAttr(CString("popup-deactivated"), 1, true)), "");
    ASSERT_EQ(takeMessage(r->runEvent(CString("close-window"))), "");
    ASSERT_FALSE(r->isOpened());
    const std::int32_t next = closer->nextQueueId();
    // Timer ticks, a close request and a late confirmation before the bridge releases the window.
    for (int i = 0; i < 3; ++i) {
        loop.advance(0.03);
        EXPECT_EQ(takeMessage(r->runEvent(CString("close-window"))), "");
        EXPECT_EQ(takeMessage(r->runEvent(CString("perform-close-window"))), "");
    }
    EXPECT_EQ(closer->nextQueueId(), next);
    settle();
    EXPECT_FALSE(exists("ui.main.button.popup-1"));
}

TEST_F(CWindowClosingTest, AnErrorOfTheOpenersPopupClosedStillEndsThePopup) {
    CView* main = mainWindow();
    // An opener whose "popup-closed" fails: a plain object, which has no such event.
    CObject* plain = nullptr;
    ASSERT_EQ(takeMessage(ui->addChild(plain, CString("core:object"), CString("plain"), false)), "");
    CView* popup = popupOfButton(main, "ui.plain");
    CWindowRenderer* r = rendererOf(popup);
    ASSERT_EQ(data().popupOpenerPath(), CString("ui.plain"));
    EXPECT_EQ(takeMessage(r->runEvent(CString("close-window"))), "");
    EXPECT_FALSE(r->isOpened());
    EXPECT_EQ(data().getPopup(), nullptr);
    settle();
    EXPECT_FALSE(exists("ui.main.button.popup-1"));
    EXPECT_EQ(data().windowList().count(), 1);
}

TEST_F(CWindowClosingTest, APopupClosesWhenItsOwnerWindowMoves) {
    CView* main = mainWindow();
    CView* popup = popupOfButton(main);
    CWindowRenderer* r = rendererOf(popup);
    tick();
    tick();
    EXPECT_TRUE(r->isOpened());
    const CWindowRenderer* m = rendererOf(main);
    const auto* w = backend.window(m->windowId());
    ASSERT_NE(w, nullptr);
    backend.setFrame(m->windowId(), w->params.x + 1, w->params.y, w->params.width, w->params.height);
    tick();
    EXPECT_FALSE(r->isOpened());
}

TEST_F(CWindowClosingTest, ClosingTheMainWindowDestroysItsNativeWindowAndLeavesTheList) {
    CView* main = mainWindow();
    const CWindowBackend::WindowId id = rendererOf(main)->windowId();
    ASSERT_NE(backend.window(id), nullptr);
    close(main);
    EXPECT_EQ(backend.window(id), nullptr);
    settle();
    EXPECT_FALSE(exists("ui.main"));
    EXPECT_EQ(data().windowList().count(), 0);
    EXPECT_EQ(data().getMainWindow(), nullptr);
}

} // namespace
} // namespace tal
