// The window opener: requests carried out at once or once the window they wait for is gone, replaced
// requests, the wait timeout, and errors in the middle of a pass.
#include "UI/CWindowOpener.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "UI/CView.h"
#include "support/MultiWindowTestTree.h"
#include "support/StreamTestHelpers.h"
#include "support/WindowTestTree.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

using test::takeMessage;

class CWindowOpenerTest : public CMultiWindowTestTree {
protected:
    void SetUp() override {
        CMultiWindowTestTree::SetUp();
        CObject* placeholder = nullptr;
        ASSERT_EQ(ui->root()->addChild(placeholder, CString("template"), CString("test:panel"), false), nullptr);
        placeholder->setTemplateBody(new CAttrTemplateBody("ui:view", {{"width", "10"}, {"height", "10"}}));
        ui->root()->addTemplate(CString("test:panel"), placeholder);
        // The poll timer: an interval timer ticks with the render notices of the window of a view
        // above it, and the opener has none; a frame-rate timer polls on its own.
        ASSERT_EQ(ui->root()->addChild(placeholder, CString("template"), CString("test:poll-timer"), false), nullptr);
        placeholder->setTemplateBody(new CAttrTemplateBody("ui:update-timer", {{"fps", "40"}}));
        ui->root()->addTemplate(CString("test:poll-timer"), placeholder);
        ASSERT_EQ(takeMessage(opener->setAttr(CString("interval-timer-tag"), CString("test:poll-timer"), true)), "");
        main = addWindow(ui, "main", 300, 200, {}, {{"is-main-window", "true"}});
        button = build(main, "button", {{"width", "20"}, {"height", "20"}});
        opener->setClock([](void* context) { return static_cast<CPumpedMainLoopTimers*>(context)->nowNanos(); }, &loop);
    }
    std::string request(const char* tag, const char* name, const char* waitPath) {
        CAttrMap attrs;
        attrs.findOrAdd("title")->value.setText(CString(name));
        return takeMessage(opener->requestOpen(button->getFullName(), CString(tag), CString(name), attrs,
                                               CString(waitPath), false));
    }
    CObject* blocker(const char* name) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("core:object"), CString(name), false)), "");
        return object;
    }
    bool made(const char* name) { return button->findChild(CString(name)) != nullptr; }
    int childCount() const { return button->childCount(); }

    CView* main = nullptr;
    CView* button = nullptr;
};

TEST_F(CWindowOpenerTest, ARequestWithoutAWaitIsCarriedOutAtOnce) {
    EXPECT_EQ(request("test:panel", "panel-1", ""), "");
    ASSERT_TRUE(made("panel-1"));
    EXPECT_EQ(button->findChild(CString("panel-1"))->getTextAttr("title"), CString("panel-1"));
    EXPECT_EQ(opener->pendingCount(), 0);
    EXPECT_FALSE(opener->hasPollTimer());
}

TEST_F(CWindowOpenerTest, AWaitingRequestIsReplacedAndCarriedOutWhenTheWindowIsGone) {
    CObject* old = blocker("old-popup");
    EXPECT_EQ(request("test:panel", "panel-2", "ui.old-popup"), "");
    EXPECT_EQ(request("test:panel", "panel-3", "ui.old-popup"), "");
    EXPECT_EQ(opener->pendingCount(), 1);
    EXPECT_TRUE(opener->hasPollTimer());
    tick();
    EXPECT_FALSE(made("panel-3"));
    old->release();
    tick();
    tick();
    EXPECT_TRUE(made("panel-3"));
    EXPECT_FALSE(made("panel-2"));
    EXPECT_EQ(opener->pendingCount(), 0);
    EXPECT_FALSE(opener->hasPollTimer());
}

TEST_F(CWindowOpenerTest, ARequestWhoseWindowOutlivesTheTimeoutIsDropped) {
    blocker("stays");
    EXPECT_EQ(request("test:panel", "late", "ui.stays"), "");
    for (int i = 0; i < 200; ++i)   // 5 s of ticks
        tick();
    EXPECT_EQ(opener->pendingCount(), 1);
    for (int i = 0; i < 10; ++i)
        tick();
    EXPECT_EQ(opener->pendingCount(), 0);
    EXPECT_FALSE(made("late"));
}

TEST_F(CWindowOpenerTest, AFailingRequestInAPassDropsWhatWasDoneAndKeepsTheRest) {
    CObject* gate = blocker("gate");
    blocker("other-gate");
    EXPECT_EQ(request("test:panel", "first", "ui.gate"), "");
    // Another tag, so another request: a template that does not exist.
    EXPECT_EQ(request("test:missing", "broken", "ui.gate"), "");
    CAttrMap attrs;
    EXPECT_EQ(takeMessage(opener->requestOpen(main->getFullName(), CString("test:panel"), CString("third"), attrs,
                                              CString("ui.other-gate"), false)),
              "");
    EXPECT_EQ(opener->pendingCount(), 3);
    gate->release();
    EXPECT_NE(takeMessage(opener->onUpdateTimer()), "");
    EXPECT_TRUE(made("first"));
    EXPECT_EQ(opener->pendingCount(), 1);   // the third waits on
    const int children = childCount();
    EXPECT_EQ(takeMessage(opener->onUpdateTimer()), "");
    EXPECT_EQ(childCount(), children);      // "first" is not made a second time
}

} // namespace
} // namespace tal
