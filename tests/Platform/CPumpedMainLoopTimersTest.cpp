#include "Platform/CPumpedMainLoopTimers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace tal;

namespace {

// Records every call with the clock time at which it came.
struct CallLog {
    CPumpedMainLoopTimers* loop = nullptr;
    std::vector<std::pair<CMainLoopTimers::TimerId, std::uint64_t>> calls;
    static void record(CMainLoopTimers::TimerId id, void* user) {
        CallLog* log = static_cast<CallLog*>(user);
        log->calls.emplace_back(id, log->loop->nowNanos());
    }
};

CMainLoopTimers::TimerId install(CPumpedMainLoopTimers& loop, double delay, double period, CallLog& log) {
    CMainLoopTimers::TimerId id = 0;
    EXPECT_EQ(loop.installTimer(delay, period, &CallLog::record, &log, id), CMainLoopTimers::kStatusOk);
    EXPECT_NE(id, 0u);
    return id;
}

} // namespace

struct RateCase { double delay, period, span; };
class PumpedTimerRate : public ::testing::TestWithParam<RateCase> {};

// Each due time within the span gives one call, at exactly delay + k * period.
TEST_P(PumpedTimerRate, CallsComeAtEveryDueTimeOfTheSpan) {
    const RateCase& c = GetParam();
    CPumpedMainLoopTimers loop;
    CallLog log{&loop, {}};
    install(loop, c.delay, c.period, log);
    const int calls = loop.advance(c.span);
    const int expected = c.span < c.delay ? 0 : int(std::floor((c.span - c.delay) / c.period)) + 1;
    ASSERT_EQ(calls, expected);
    ASSERT_EQ(int(log.calls.size()), expected);
    for (int k = 0; k < expected; ++k)
        EXPECT_NEAR(double(log.calls[k].second), (c.delay + k * c.period) * 1e9, 1.0) << "call " << k;
    EXPECT_EQ(loop.nowNanos(), std::uint64_t(std::llround(c.span * 1e9)));
}
INSTANTIATE_TEST_SUITE_P(Rates, PumpedTimerRate, ::testing::Values(
    RateCase{1.0 / 60, 1.0 / 60, 1.0005},   // 60 frames per second for a second
    RateCase{0.5, 0.5, 1.7},
    RateCase{0.001, 0.001, 0.0105},
    RateCase{0.25, 1.0, 0.2},               // before the first due time: nothing
    RateCase{0.0, 0.1, 0.35}));             // a zero first delay calls at once

TEST(CPumpedMainLoopTimers, LongRunDoesNotDrift) {
    CPumpedMainLoopTimers loop;
    CallLog log{&loop, {}};
    install(loop, 1.0 / 60, 1.0 / 60, log);
    int calls = 0;
    for (int step = 0; step < 3600; ++step)      // an hour of frames, advanced a frame at a time
        calls += loop.advance(1.0 / 60);
    EXPECT_EQ(calls, 3600);
    EXPECT_NEAR(double(log.calls.back().second), 60.0 * 1e9, 1.0);
}

TEST(CPumpedMainLoopTimers, TimersInterleaveInTimeOrderAndTiesInInstallationOrder) {
    CPumpedMainLoopTimers loop;
    CallLog log{&loop, {}};
    const auto slow = install(loop, 0.3, 0.3, log);
    const auto fast = install(loop, 0.2, 0.2, log);
    loop.advance(0.65);
    // fast 0.2, slow 0.3, fast 0.4, slow 0.6 and fast 0.6: the tie goes to the earlier timer
    const std::vector<std::pair<CMainLoopTimers::TimerId, std::uint64_t>> expected = {
        {fast, 200000000}, {slow, 300000000}, {fast, 400000000}, {slow, 600000000}, {fast, 600000000}};
    EXPECT_EQ(log.calls, expected);
}

TEST(CPumpedMainLoopTimers, LatePumpCoalescesMissedCallsAndKeepsTheGrid) {
    CPumpedMainLoopTimers loop;
    CallLog log{&loop, {}};
    install(loop, 0.1, 0.1, log);
    loop.skip(0.55);                       // five due times missed
    EXPECT_EQ(loop.pump(), 1);
    EXPECT_EQ(loop.pump(), 0);             // nothing more due at the same time
    EXPECT_EQ(loop.nextDueNanos(), 600000000u);
    loop.skip(0.05);
    EXPECT_EQ(loop.pump(), 1);
    EXPECT_EQ(log.calls.size(), 2u);
}

struct SelfRemover {
    CPumpedMainLoopTimers* loop;
    CMainLoopTimers::TimerId other = 0;
    int calls = 0;
    static void onTick(CMainLoopTimers::TimerId id, void* user) {
        SelfRemover* self = static_cast<SelfRemover*>(user);
        ++self->calls;
        self->loop->removeTimer(id);
        self->loop->removeTimer(self->other);
    }
};

TEST(CPumpedMainLoopTimers, TimerRemovedInACallbackIsNotCalledAgain) {
    CPumpedMainLoopTimers loop;
    CallLog log{&loop, {}};
    SelfRemover remover{&loop};
    CMainLoopTimers::TimerId removerId = 0;
    ASSERT_EQ(loop.installTimer(0.1, 0.1, &SelfRemover::onTick, &remover, removerId), 0);
    remover.other = install(loop, 0.1, 0.1, log);      // due at the same time, after the remover
    loop.advance(1.0);
    EXPECT_EQ(remover.calls, 1);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(loop.timerCount(), 0);
}

TEST(CPumpedMainLoopTimers, RejectsPeriodsThatAreNotPositive) {
    CPumpedMainLoopTimers loop;
    CallLog log{&loop, {}};
    for (const auto& [delay, period] : {std::pair{0.1, 0.0}, {0.1, -1.0}, {-0.1, 0.1}, {0.1, NAN}}) {
        SCOPED_TRACE(testing::Message() << delay << ", " << period);
        CMainLoopTimers::TimerId id = 99;
        EXPECT_EQ(loop.installTimer(delay, period, &CallLog::record, &log, id), CMainLoopTimers::kStatusBadPeriod);
        EXPECT_EQ(id, 0u);
    }
    EXPECT_EQ(loop.timerCount(), 0);
    loop.removeTimer(0);                    // ignored
    loop.removeTimer(12345);
}

TEST(CPumpedMainLoopTimers, DestroyingTheCurrentServiceClearsIt) {
    {
        CPumpedMainLoopTimers loop;
        CMainLoopTimers::setCurrent(&loop);
        EXPECT_EQ(CMainLoopTimers::current(), &loop);
    }
    EXPECT_EQ(CMainLoopTimers::current(), nullptr);
}

TEST(CPumpedMainLoopTimers, MonotonicRunForCallsNoMoreOftenThanDue) {
    CPumpedMainLoopTimers loop(CPumpedMainLoopTimers::Clock::Monotonic);
    CallLog log{&loop, {}};
    const std::uint64_t start = loop.nowNanos();
    install(loop, 0.01, 0.01, log);
    const std::uint64_t runStart = loop.nowNanos();
    loop.runFor(0.055);
    const std::uint64_t end = loop.nowNanos();
    EXPECT_GE(end - runStart, 55000000u);
    // Due every 10 ms from the install: a loaded machine may coalesce calls or start late, but the
    // k-th call never comes before the k-th due time, so the count is bounded by the time elapsed.
    ASSERT_GE(log.calls.size(), 1u);
    EXPECT_LE(log.calls.size(), (end - start) / 10000000u);
    for (std::size_t k = 0; k < log.calls.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_GE(log.calls[k].second - start, (k + 1) * 10000000u);
    }
}

namespace {

struct PostedJournal {
    CPumpedMainLoopTimers* loop = nullptr;
    std::vector<std::int64_t> values;
    static void record(void* context, std::int64_t value) {
        auto* j = static_cast<PostedJournal*>(context);
        j->values.push_back(value);
        if (value == 2)   // posts a follow-up from inside a running call
            j->loop->postCall(&PostedJournal::record, j, 20);
    }
};

} // namespace

// Posted calls run on the next pump in posting order, each once; a call posted by a running call
// waits for the following run.
TEST(CPumpedMainLoopTimers, PostedCallsRunOnceInPostingOrderWhenPumped) {
    CPumpedMainLoopTimers loop;
    PostedJournal journal;
    journal.loop = &loop;
    for (std::int64_t v : {1, 2, 3})
        EXPECT_TRUE(loop.postCall(&PostedJournal::record, &journal, v));
    EXPECT_FALSE(loop.postCall(nullptr, &journal, 4));
    EXPECT_EQ(loop.postedCallCount(), 3);
    EXPECT_TRUE(journal.values.empty());
    EXPECT_EQ(loop.pump(), 3);
    EXPECT_EQ(journal.values, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(loop.postedCallCount(), 1);
    EXPECT_EQ(loop.pump(), 1);
    EXPECT_EQ(loop.pump(), 0);
    EXPECT_EQ(journal.values, (std::vector<std::int64_t>{1, 2, 3, 20}));
}
