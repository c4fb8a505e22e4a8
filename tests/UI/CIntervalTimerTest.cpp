#include "UI/CIntervalTimer.h"

#include "Core/CAttrMap.h"
#include "support/CLogCapture.h"
#include "support/RendererTestTree.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

using test::takeMessage;

class CIntervalTimerTest : public CRendererTestTree {
protected:
    // An interval timer under parent, on a clock the test moves by hand.
    CIntervalTimer* makeTimer(CObject* parent, const char* interval) {
        CAttrMap attrs;
        attrs.findOrAdd("interval")->value.setText(CString(interval));
        CIntervalTimer* timer = nullptr;
        EXPECT_EQ(takeMessage(parent->createChild(timer, CString("ui:interval-timer"), CString("t"), false, &attrs,
                                                  nullptr)), "");
        timer->setClock([](void* now) { return *static_cast<std::uint64_t*>(now); }, &clockNanos);
        return timer;
    }
    // Render notices at the given milliseconds; returns the ones at which the timer ticked.
    std::vector<int> noticesAt(CIntervalTimer* timer, const std::vector<int>& ms) {
        CEventTestObject::journal().clear();
        std::vector<int> ticks;
        for (int t : ms) {
            clockNanos = std::uint64_t(t) * 1000000u;
            const std::size_t before = CEventTestObject::journal().size();
            EXPECT_EQ(takeMessage(timer->runEvent(CString("update-timer"))), "");
            if (CEventTestObject::journal().size() > before)
                ticks.push_back(t);
        }
        return ticks;
    }

    std::uint64_t clockNanos = 0;
};

TEST_F(CIntervalTimerTest, TicksOnTheFirstNoticeAfterTheIntervalWithoutCatchingUp) {
    beginRoot(100, 50);
    struct Row {
        const char* interval;
        std::vector<int> notices;
        std::vector<int> ticks;
    };
    const Row rows[] = {
        {"0.05", {17, 34, 51, 68, 85, 102, 119}, {51, 102}},   // stretched to the next 17 ms notice
        {"0.05", {10, 500, 520, 560}, {500, 560}},               // a long pause ticks once
        {"0", {17, 34}, {17, 34}},                               // every notice
        {"-1", {17, 34}, {17, 34}},
        {"x", {17, 34}, {17, 34}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.interval);
        clockNanos = 0;
        CIntervalTimer* timer = makeTimer(root, r.interval);
        addListener(ui, "l")->listenObject(timer->getFullName(), CString("tick"), CString("on"));
        EXPECT_EQ(noticesAt(timer, r.notices), r.ticks);
        timer->release();
    }
}

TEST_F(CIntervalTimerTest, ListensToTheRenderNoticesOfItsViewsWindow) {
    beginRoot(100, 50);
    addView(root, "bg", 0, 0, 100, 50, "202020");
    CIntervalTimer* timer = makeTimer(root->findChild(CString("bg")), "0");
    addListener(ui, "l")->listenObject(timer->getFullName(), CString("tick"), CString("on"));
    openWindow();   // the first paint fires "render" once
    CEventTestObject::journal().clear();
    tick();
    tick();
    EXPECT_EQ(CEventTestObject::journal().size(), 2u);
}

TEST_F(CIntervalTimerTest, AViewWithoutAWindowIsLoggedOnceAndNeverTicks) {
    CLogCapture log;
    CView* lone = build(ui, "lone", {{"is-root-view", "true"}, {"width", "10"}, {"height", "10"}});
    EXPECT_EQ(takeError(), "");
    CIntervalTimer* timer = makeTimer(lone, "0");
    int lines = 0;
    for (const std::string& line : log.lines())
        lines += line.find("No parent CView for the interval timer! // " + text(timer->getFullName())) != std::string::npos;
    EXPECT_EQ(lines, 1);
    log.clear();
    makeTimer(ui, "0");   // no view above at all: silent
    EXPECT_TRUE(log.lines().empty());
}

} // namespace
} // namespace tal
