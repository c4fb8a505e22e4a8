#include "Platform/CRunLoopMainLoopTimers.h"

#include "support/CTestRunLoop.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tal;

namespace {

// The run-loop clock time of every timer call.
struct RunLoopCallLog {
    CTestRunLoop* loop = nullptr;
    CRunLoopMainLoopTimers* service = nullptr;
    std::vector<std::pair<CMainLoopTimers::TimerId, std::uint64_t>> calls;
    int removeAfter = -1;          // removes the calling timer on this call number (1-based)
    static void record(CMainLoopTimers::TimerId id, void* user) {
        auto* log = static_cast<RunLoopCallLog*>(user);
        log->calls.emplace_back(id, log->loop->nowMs());
        if (int(log->calls.size()) == log->removeAfter)
            log->service->removeTimer(id);
    }
};

} // namespace

struct RunLoopTimerCase { double delay, period; std::uint64_t spanMs; std::vector<std::uint64_t> expectedMs; };
class RunLoopTimerSchedule : public ::testing::TestWithParam<RunLoopTimerCase> {};

// The first call comes after the first delay and the next ones at the period, in whole milliseconds.
TEST_P(RunLoopTimerSchedule, CallsComeAtTheFirstDelayThenAtThePeriod) {
    const RunLoopTimerCase& c = GetParam();
    CTestRunLoop loop;
    CRunLoopMainLoopTimers service(&loop);
    RunLoopCallLog log{&loop, &service, {}};
    CMainLoopTimers::TimerId id = 0;
    ASSERT_EQ(service.installTimer(c.delay, c.period, &RunLoopCallLog::record, &log, id), CMainLoopTimers::kStatusOk);
    ASSERT_NE(id, 0u);
    loop.advance(c.spanMs);
    std::vector<std::uint64_t> times;
    for (const auto& [callId, ms] : log.calls) {
        EXPECT_EQ(callId, id);
        times.push_back(ms);
    }
    EXPECT_EQ(times, c.expectedMs);
    ASSERT_EQ(loop.timerCount(), 1);
}
INSTANTIATE_TEST_SUITE_P(Schedules, RunLoopTimerSchedule, ::testing::Values(
    RunLoopTimerCase{0.02, 0.02, 70, {20, 40, 60}},
    RunLoopTimerCase{0.05, 0.02, 100, {50, 70, 90}},       // a longer first delay, then the period
    RunLoopTimerCase{0.0, 0.03, 70, {1, 31, 61}},          // no delay: the loop's next millisecond
    RunLoopTimerCase{0.0164, 0.0166, 60, {16, 33, 50}},    // rounded to whole milliseconds
    RunLoopTimerCase{0.2, 0.1, 150, {}}));                 // not yet due

TEST(CRunLoopMainLoopTimers, TimerRemovedInItsOwnCallbackIsNotCalledAgain) {
    CTestRunLoop loop;
    CRunLoopMainLoopTimers service(&loop);
    RunLoopCallLog log{&loop, &service, {}};
    log.removeAfter = 2;
    CMainLoopTimers::TimerId id = 0;
    ASSERT_EQ(service.installTimer(0.01, 0.01, &RunLoopCallLog::record, &log, id), CMainLoopTimers::kStatusOk);
    loop.advance(100);
    EXPECT_EQ(log.calls.size(), 2u);
    EXPECT_EQ(loop.timerCount(), 0);
    EXPECT_EQ(service.timerCount(), 0);
}

TEST(CRunLoopMainLoopTimers, RefusedOrInvalidTimersGiveAStatusAndNoId) {
    CTestRunLoop loop;
    CRunLoopMainLoopTimers service(&loop);
    RunLoopCallLog log{&loop, &service, {}};
    struct Row { double delay, period; bool refuse; int status; };
    for (const Row& r : {Row{0.1, 0.0, false, CMainLoopTimers::kStatusBadPeriod},
                         Row{-0.1, 0.1, false, CMainLoopTimers::kStatusBadPeriod},
                         Row{0.1, NAN, false, CMainLoopTimers::kStatusBadPeriod},
                         Row{0.1, 0.1, true, CRunLoopMainLoopTimers::kStatusHostRefused}}) {
        SCOPED_TRACE(testing::Message() << r.delay << ", " << r.period << ", refuse " << r.refuse);
        loop.refuseTimers = r.refuse;
        CMainLoopTimers::TimerId id = 77;
        EXPECT_EQ(service.installTimer(r.delay, r.period, &RunLoopCallLog::record, &log, id), r.status);
        EXPECT_EQ(id, 0u);
    }
    EXPECT_EQ(service.timerCount(), 0);
    EXPECT_EQ(loop.timerCount(), 0);
}

// A host that refuses the second registration (after the first delay) still gets the first call.
TEST(CRunLoopMainLoopTimers, TimerWhosePeriodIsRefusedEndsAfterItsFirstCall) {
    CTestRunLoop loop;
    CRunLoopMainLoopTimers service(&loop);
    RunLoopCallLog log{&loop, &service, {}};
    CMainLoopTimers::TimerId id = 0;
    ASSERT_EQ(service.installTimer(0.05, 0.02, &RunLoopCallLog::record, &log, id), CMainLoopTimers::kStatusOk);
    loop.refuseTimers = true;
    loop.advance(200);
    EXPECT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(service.timerCount(), 0);
    EXPECT_EQ(loop.timerCount(), 0);
}

TEST(CRunLoopMainLoopTimers, DestructionUnregistersEverythingAndGivesBackTheLoop) {
    CTestRunLoop loop;
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    {
        CRunLoopMainLoopTimers service(&loop);
        CMainLoopTimers::setCurrent(&service);
        ASSERT_TRUE(service.isValid());
        RunLoopCallLog log{&loop, &service, {}};
        CMainLoopTimers::TimerId a = 0, b = 0;
        ASSERT_EQ(service.installTimer(0.01, 0.01, &RunLoopCallLog::record, &log, a), 0);
        ASSERT_EQ(service.installTimer(0.5, 0.02, &RunLoopCallLog::record, &log, b), 0);
        ASSERT_NE(service.watchFd(pipeFds[0], [](int, void*) {}, nullptr), 0u);
        EXPECT_EQ(loop.timerCount(), 2);
        EXPECT_EQ(loop.fdCount(), 2);        // the watch and the posted-call eventfd
        EXPECT_GT(loop.refs, 0);
    }
    EXPECT_EQ(loop.timerCount(), 0);
    EXPECT_EQ(loop.fdCount(), 0);
    EXPECT_EQ(loop.refs, 0);
    EXPECT_EQ(CMainLoopTimers::current(), nullptr);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

namespace {

struct FdWatchLog {
    CRunLoopMainLoopTimers* service = nullptr;
    CRunLoopMainLoopTimers::WatchId id = 0;
    std::vector<char> bytes;
    static void onReadable(int fd, void* user) {
        auto* log = static_cast<FdWatchLog*>(user);
        char c = 0;
        if (read(fd, &c, 1) == 1)
            log->bytes.push_back(c);
        if (c == 'x')
            log->service->unwatchFd(log->id);
    }
};

} // namespace

TEST(CRunLoopMainLoopTimers, WatchedFdIsServedUntilItsWatchEnds) {
    CTestRunLoop loop;
    CRunLoopMainLoopTimers service(&loop);
    int p[2];
    ASSERT_EQ(pipe2(p, O_NONBLOCK), 0);
    FdWatchLog log;
    log.service = &service;
    log.id = service.watchFd(p[0], &FdWatchLog::onReadable, &log);
    ASSERT_NE(log.id, 0u);
    EXPECT_EQ(loop.dispatchFds(0), 0);                 // nothing written yet
    ASSERT_EQ(write(p[1], "a", 1), 1);
    EXPECT_EQ(loop.dispatchFds(5000), 1);
    ASSERT_EQ(write(p[1], "xb", 2), 2);
    EXPECT_EQ(loop.dispatchFds(5000), 1);              // 'x' ends the watch inside its own call
    EXPECT_EQ(service.watchCount(), 0);
    EXPECT_EQ(loop.dispatchFds(0), 0);                 // 'b' stays unread
    EXPECT_EQ(log.bytes, (std::vector<char>{'a', 'x'}));
    close(p[0]);
    close(p[1]);
}

TEST(CRunLoopMainLoopTimers, WithoutAnEventHandlerNothingCanBePosted) {
    CTestRunLoop loop;
    loop.refuseFds = true;
    CRunLoopMainLoopTimers service(&loop);
    EXPECT_FALSE(service.isValid());
    EXPECT_FALSE(service.postCall([](void*, std::int64_t) {}, nullptr, 1));
    CRunLoopMainLoopTimers detached(nullptr);
    EXPECT_FALSE(detached.isValid());
    CMainLoopTimers::TimerId id = 5;
    EXPECT_EQ(detached.installTimer(0.1, 0.1, [](CMainLoopTimers::TimerId, void*) {}, nullptr, id),
              CRunLoopMainLoopTimers::kStatusHostRefused);
    EXPECT_EQ(id, 0u);
}

namespace {

struct PostedByThreads {
    std::vector<std::vector<std::int64_t>> perThread;   // main thread only
    int total = 0;
    static void record(void* context, std::int64_t value) {
        auto* p = static_cast<PostedByThreads*>(context);
        p->perThread[std::size_t(value >> 32)].push_back(value & 0xffffffff);
        ++p->total;
    }
};

} // namespace

// Calls posted from several threads all run on the loop's thread, each once, in each thread's order.
TEST(CRunLoopMainLoopTimers, ConcurrentPostedCallsRunOnTheLoopInPostingOrder) {
    CTestRunLoop loop;
    CRunLoopMainLoopTimers service(&loop);
    constexpr int kThreads = 3, kCalls = 2000;
    PostedByThreads posted;
    posted.perThread.resize(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&service, &posted, t] {
            for (int i = 0; i < kCalls; ++i)
                ASSERT_TRUE(service.postCall(&PostedByThreads::record, &posted, (std::int64_t(t) << 32) | i));
        });
    // Dispatches until every call ran; a wait without progress for a whole minute fails.
    int idleWaits = 0;
    while (posted.total < kThreads * kCalls && idleWaits < 60)
        idleWaits = loop.dispatchFds(1000) == 0 ? idleWaits + 1 : 0;
    for (std::thread& t : threads)
        t.join();
    loop.dispatchFds(0);
    ASSERT_EQ(posted.total, kThreads * kCalls);
    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE(t);
        ASSERT_EQ(int(posted.perThread[std::size_t(t)].size()), kCalls);
        for (int i = 0; i < kCalls; ++i)
            ASSERT_EQ(posted.perThread[std::size_t(t)][std::size_t(i)], i);
    }
    EXPECT_EQ(service.postedCallCount(), 0);
}
