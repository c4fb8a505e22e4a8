#include "UI/CUpdateTimer.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "UI/CUpdateTimerGroup.h"
#include "UI/CWindowSharedData.h"
#include "support/StreamTestHelpers.h"
#include "support/WindowTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

using test::takeMessage;

class CUpdateTimerTest : public CWindowTestTree {
protected:
    // An update timer under "ui" with the given attributes, through its whole life cycle.
    CUpdateTimer* makeTimer(const char* name, std::vector<std::pair<const char*, const char*>> attrs) {
        CAttrMap set;
        for (const auto& [key, value] : attrs)
            set.findOrAdd(key)->value.setText(CString(value));
        CUpdateTimer* timer = nullptr;
        EXPECT_EQ(takeMessage(ui->createChild(timer, CString("ui:update-timer"), CString(name), false, &set, nullptr)),
                  "");
        return timer;
    }
    // A listener named after the timer's short name + "-l" that records the timer's ticks.
    CEventTestObject* listenTo(CUpdateTimer* timer) {
        const std::string name = text(timer->getShortName()) + "-l";
        CEventTestObject* listener = addListener(ui, name.c_str());
        listener->listenObject(timer->getFullName(), CString("tick"), CString("on"));
        return listener;
    }
    std::vector<std::string> takeJournal() {
        std::vector<std::string> lines;
        lines.swap(CEventTestObject::journal());
        return lines;
    }
};

TEST_F(CUpdateTimerTest, RatesAndIntervalsGiveWholeMillisecondPeriods) {
    struct Row {
        const char* attr;
        const char* value;
        std::int32_t period;
    };
    const Row rows[] = {
        {"fps", "60", 17},       {"fps", "30", 33},         {"fps", "25", 40},         {"fps", "600", 2},
        {"fps", "700", 1},       {"fps", "1000", 1},        {"fps", "5000", 1},        {"fps", "0", 1000000},
        {"fps", "-3", 1000000},  {"fps", "x", 1000000},     {"interval", "0.05", 50},  {"interval", "0.0004", 1},
        {"interval", "-2", 1},   {"interval", "0.0015", 2}, {"interval", "x", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.attr) + "=" + row.value);
        CUpdateTimer* timer = makeTimer("t", {{row.attr, row.value}});
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->period(), row.period);
        ASSERT_NE(sharedData->findUpdateTimerGroup(row.period), nullptr);
        timer->release();
        EXPECT_EQ(sharedData->updateTimerGroupCount(), 0);
    }
}

TEST_F(CUpdateTimerTest, TimersOfOnePeriodShareOneGroupAndOneSystemTimer) {
    CUpdateTimer* a = makeTimer("a", {{"fps", "60"}});
    CUpdateTimer* b = makeTimer("b", {{"interval", "0.017"}});
    CUpdateTimer* c = makeTimer("c", {{"interval", "0.05"}});
    EXPECT_EQ(sharedData->updateTimerGroupCount(), 2);
    EXPECT_EQ(loop.timerCount(), 2);
    CUpdateTimerGroup* fast = sharedData->findUpdateTimerGroup(17);
    ASSERT_NE(fast, nullptr);
    EXPECT_EQ(fast->memberCount(), 2);
    EXPECT_EQ(text(fast->getShortName()).rfind("group-timer", 0), 0u);
    ASSERT_NE(fast->systemTimer(), nullptr);
    EXPECT_EQ(text(fast->systemTimer()->getShortName()), "system-timer");
    EXPECT_NEAR(fast->systemTimer()->getDoubleAttr("interval"), 0.017, 1e-12);
    // The same period again through the other attribute changes nothing.
    ASSERT_EQ(takeMessage(a->setAttr(CString("interval"), CString("0.017"), true)), "");
    EXPECT_EQ(fast->member(1), a);
    c->release();
    EXPECT_EQ(sharedData->findUpdateTimerGroup(50), nullptr);
    EXPECT_EQ(sharedData->updateTimerGroupCount(), 1);
    EXPECT_EQ(loop.timerCount(), 1);
    // A new period moves the timer; the group left empty goes with its system timer.
    ASSERT_EQ(takeMessage(b->setPeriod(40)), "");
    ASSERT_EQ(takeMessage(a->setPeriod(40)), "");
    EXPECT_EQ(sharedData->findUpdateTimerGroup(17), nullptr);
    EXPECT_EQ(loop.timerCount(), 1);
    EXPECT_EQ(sharedData->findUpdateTimerGroup(40)->memberCount(), 2);
}

TEST_F(CUpdateTimerTest, MembersFireByOrderThenByJoining) {
    CUpdateTimer* t1 = makeTimer("t1", {{"order-asc", "0"}, {"fps", "50"}});
    CUpdateTimer* t2 = makeTimer("t2", {{"order-asc", "1000"}, {"fps", "50"}});
    CUpdateTimer* t3 = makeTimer("t3", {{"order-asc", "0"}, {"fps", "50"}});
    CUpdateTimer* t4 = makeTimer("t4", {{"order-asc", "-5"}, {"fps", "50"}});
    for (CUpdateTimer* t : {t1, t2, t3, t4})
        listenTo(t);
    takeJournal();
    runFor(0.020);
    const std::vector<std::string> once = {"t4-l:tick", "t1-l:tick", "t3-l:tick", "t2-l:tick"};
    EXPECT_EQ(takeJournal(), once);
    runFor(0.040);
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(takeJournal(), twice);
}

TEST_F(CUpdateTimerTest, AMemberDestroyedDuringAPassDoesNotFire) {
    CUpdateTimer* t1 = makeTimer("t1", {{"fps", "100"}});
    CUpdateTimer* t2 = makeTimer("t2", {{"fps", "100"}});
    CUpdateTimer* t3 = makeTimer("t3", {{"fps", "100"}});
    listenTo(t1)->action = [t2](CEventTestObject&, CAttrMap&) -> CError* {
        t2->release();
        return nullptr;
    };
    listenTo(t2);
    listenTo(t3);
    takeJournal();
    runFor(0.010);
    EXPECT_EQ(takeJournal(), (std::vector<std::string>{"t1-l:tick", "t3-l:tick"}));
    EXPECT_EQ(sharedData->findUpdateTimerGroup(10)->memberCount(), 2);
}

TEST_F(CUpdateTimerTest, ATimerThatDestroysItselfAndItsGroupEndsThePassSafely) {
    CUpdateTimer* only = makeTimer("only", {{"fps", "100"}});
    listenTo(only)->action = [only](CEventTestObject&, CAttrMap&) -> CError* {
        only->release();   // the group loses its last member during its own tick
        return nullptr;
    };
    takeJournal();
    runFor(0.030);
    EXPECT_EQ(takeJournal(), std::vector<std::string>{"only-l:tick"});
    EXPECT_EQ(sharedData->updateTimerGroupCount(), 0);
    EXPECT_EQ(loop.timerCount(), 0);
}

TEST_F(CUpdateTimerTest, AListenerErrorStopsThePassAndTheNextTickStartsAgain) {
    CUpdateTimer* t1 = makeTimer("t1", {{"fps", "100"}});
    CUpdateTimer* t2 = makeTimer("t2", {{"fps", "100"}});
    int failures = 1;
    listenTo(t1)->action = [&failures](CEventTestObject&, CAttrMap&) -> CError* {
        return failures-- > 0 ? newError("@talstr_Test_tick_Failed Tick failed.") : nullptr;
    };
    listenTo(t2);
    takeJournal();
    CUpdateTimerGroup* group = sharedData->findUpdateTimerGroup(10);
    EXPECT_EQ(takeMessage(group->onSystemTimerTick()), "Tick failed.");
    EXPECT_EQ(takeJournal(), std::vector<std::string>{"t1-l:tick"});
    EXPECT_EQ(takeMessage(group->onSystemTimerTick()), "");
    EXPECT_EQ(takeJournal(), (std::vector<std::string>{"t1-l:tick", "t2-l:tick"}));
}

TEST_F(CUpdateTimerTest, AMissingGroupTemplateFailsAndKeepsThePeriod) {
    CUpdateTimer* timer = makeTimer("t", {});
    root->findChild(CString("ui:update-timer-group"))->release();
    EXPECT_NE(takeMessage(timer->setPeriod(25)), "");
    EXPECT_EQ(timer->period(), 25);
    EXPECT_EQ(sharedData->updateTimerGroupCount(), 0);
    EXPECT_EQ(takeMessage(timer->setPeriod(25)), "");   // the same period does not retry
}

} // namespace
} // namespace tal
