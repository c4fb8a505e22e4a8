#include "Core/CTimerQueued.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "support/CEventTestTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

using ::testing::EndsWith;

// A timer "ui.timer" on a pumped main loop, listened to by "ui.a" for "tick"; ticks reach the
// listener through the tree's pumped event bridge.
class CTimerQueuedTest : public CEventTestTree {
protected:
    void SetUp() override {
        CEventTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"core:timer", &CTimerQueued::create, &CTimerQueued::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        CMainLoopTimers::setCurrent(&loop);
        CObject* child = nullptr;
        ASSERT_EQ(ui->addChild(child, CString("core:timer"), CString("timer"), false), nullptr);
        timer = dynamic_cast<CTimerQueued*>(child);
        ASSERT_NE(timer, nullptr);
        listener = addListener(ui, "a");
        listener->listenObject(CString("ui.timer"), CString("tick"), CString("on"));
    }
    void TearDown() override {
        CEventTestTree::TearDown();
        CMainLoopTimers::setCurrent(nullptr);
    }

    std::string set(const char* name, const char* value) {
        CError* error = timer->setAttr(CString(name), CString(value), true);
        if (error == nullptr)
            return "ok";
        std::string lines;
        for (int i = 0; i < error->lineCount(); ++i)
            lines += text(error->line(i)) + "\n";
        delete error;
        return lines;
    }
    // Advances the main loop and delivers the ticks; the number of ticks the listener got.
    int run(double seconds) {
        const int before = listener->calls;
        loop.advance(seconds);
        bridge->pump();
        return listener->calls - before;
    }

    CPumpedMainLoopTimers loop;
    CTimerQueued* timer = nullptr;
    CEventTestObject* listener = nullptr;
};

struct RateCase { const char* attr; const char* value; double period; };
class CTimerQueuedRate : public CTimerQueuedTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(CTimerQueuedRate, RateAttributeSetsThePeriod) {
    const RateCase& c = GetParam();
    ASSERT_EQ(set(c.attr, c.value), "ok");
    EXPECT_DOUBLE_EQ(timer->getInterval(), c.period);
    EXPECT_TRUE(timer->isInstalled());
    EXPECT_EQ(loop.timerCount(), 1);
    EXPECT_EQ(loop.nextDueNanos(), std::uint64_t(std::llround(c.period * 1e9)));   // one period from now
}
INSTANTIATE_TEST_SUITE_P(Rates, CTimerQueuedRate, ::testing::Values(
    RateCase{"fps", "60", 1.0 / 60},
    RateCase{"fps", "5000", 0.001},          // at most 1000 per second
    RateCase{"fps", "0", 1000.0},
    RateCase{"fps", "0.0005", 1000.0},
    RateCase{"fps", "fast", 1000.0},         // not a number
    RateCase{"interval", "0.25", 0.25},
    RateCase{"interval", "0", 0.001},
    RateCase{"interval", "-3", 0.001}));

TEST_F(CTimerQueuedTest, TicksReachListenersAtTheRate) {
    EXPECT_FALSE(timer->isInstalled());       // no period, no timer
    EXPECT_EQ(run(1.0), 0);
    ASSERT_EQ(set("fps", "60"), "ok");
    EXPECT_EQ(run(1.0005), 60);
    EXPECT_EQ(run(0.5), 30);
}

TEST_F(CTimerQueuedTest, SamePeriodAgainDoesNotReinstall) {
    for (const auto& [first, second] : {std::pair{"60", "60"}, {"1000", "2000"}}) {
        SCOPED_TRACE(second);
        ASSERT_EQ(set("fps", first), "ok");
        const double period = timer->getInterval();
        EXPECT_EQ(run(period * 0.6), 0);
        ASSERT_EQ(set("fps", second), "ok");
        // Not reinstalled: the tick comes one period after the first setting, not after the second.
        EXPECT_EQ(run(period * 0.5), 1);
        ASSERT_EQ(set("interval", "10"), "ok");   // park it for the next row
        run(20.0);
    }
}

TEST_F(CTimerQueuedTest, IntervalAfterFpsReplacesThePeriodFromNow) {
    ASSERT_EQ(set("fps", "60"), "ok");
    EXPECT_EQ(run(0.01), 0);
    ASSERT_EQ(set("interval", "0.5"), "ok");
    EXPECT_DOUBLE_EQ(timer->getInterval(), 0.5);
    EXPECT_EQ(loop.timerCount(), 1);
    EXPECT_EQ(run(0.49), 0);
    EXPECT_EQ(run(0.02), 1);
}

TEST_F(CTimerQueuedTest, HighPrecisionFlagChangesNothing) {
    ASSERT_EQ(set("fps", "50"), "ok");
    const std::uint64_t due = loop.nextDueNanos();
    ASSERT_EQ(set("is-high-precision", "false"), "ok");
    ASSERT_EQ(set("is-high-precision", "true"), "ok");
    EXPECT_DOUBLE_EQ(timer->getInterval(), 0.02);
    EXPECT_EQ(loop.nextDueNanos(), due);
    EXPECT_EQ(loop.timerCount(), 1);
}

TEST_F(CTimerQueuedTest, ReleaseRemovesTheTimer) {
    ASSERT_EQ(set("fps", "30"), "ok");
    ASSERT_EQ(loop.timerCount(), 1);
    timer->release();
    EXPECT_EQ(loop.timerCount(), 0);
    EXPECT_EQ(run(1.0), 0);
}

TEST_F(CTimerQueuedTest, WithoutAServiceTheTimerFailsAndStaysUninstalled) {
    CMainLoopTimers::setCurrent(nullptr);
    const std::string error = set("fps", "60");
    EXPECT_EQ(error.substr(0, error.find('\n')), "Timer creation error -1.");
    EXPECT_THAT(error, ::testing::HasSubstr("Core/CTimerQueued( "));
    EXPECT_THAT(error, EndsWith(" // ui.timer\n"));
    EXPECT_FALSE(timer->isInstalled());
    CMainLoopTimers::setCurrent(&loop);
    timer->release();                          // removes nothing
    EXPECT_EQ(loop.timerCount(), 0);
}

namespace {
class CRefusingTimers : public CMainLoopTimers {
public:
    int installTimer(double, double, Callback, void*, TimerId& id) override {
        id = 0;
        return 7;
    }
    void removeTimer(TimerId) override { ++removes; }
    int removes = 0;
};
} // namespace

TEST_F(CTimerQueuedTest, ServiceStatusIsNamedInTheError) {
    CRefusingTimers refusing;
    CMainLoopTimers::setCurrent(&refusing);
    const std::string error = set("interval", "0.1");
    EXPECT_EQ(error.substr(0, error.find('\n')), "Timer creation error 7.");
    EXPECT_FALSE(timer->isInstalled());
    timer->release();
    EXPECT_EQ(refusing.removes, 0);
    CMainLoopTimers::setCurrent(&loop);
}

} // namespace
} // namespace tal
