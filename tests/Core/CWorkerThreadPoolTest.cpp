#include "Core/CWorkerThreadPool.h"

#include "Core/CError.h"
#include "Core/CPersistentThread.h"
#include "Core/CThread.h"
#include "Core/CWorkerThread.h"
#include "support/CLogCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace tal;
using ::testing::MatchesRegex;

namespace {

// Worker threads alive right now among those the tests' jobs ran on: a job marks its thread, and
// the mark goes when the thread ends, on the thread itself, before a join of it can return. The
// kernel's task list would not do: it may still list a joined thread for a moment, the longer the
// busier the machine, and sanitizer runtimes start threads of their own.
std::atomic<int> gLiveWorkers{0};

struct CLiveWorkerMark {
    CLiveWorkerMark() { gLiveWorkers.fetch_add(1); }
    ~CLiveWorkerMark() { gLiveWorkers.fetch_sub(1); }
};

void markWorkerThread() {
    thread_local CLiveWorkerMark mark;   // made on the thread's first job, destroyed as it ends
    (void)mark;
}

int liveWorkerThreads() { return gLiveWorkers.load(); }

// A gate that jobs wait on until the test opens it.
class CGate {
public:
    void open() {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mOpen = true;
        }
        mChanged.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(mMutex);
        mChanged.wait(lock, [&] { return mOpen; });
    }

private:
    std::mutex mMutex;
    std::condition_variable mChanged;
    bool mOpen = false;
};

// Records the worker thread it ran on; optionally waits at a gate first.
class CRecordingJob : public CWorkerThread {
public:
    explicit CRecordingJob(CGate* gate = nullptr) : mGate(gate) {}
    CError* run() override {
        markWorkerThread();
        if (mGate != nullptr)
            mGate->wait();
        mThread.store(pthread_self());
        mRuns.fetch_add(1);
        return nullptr;
    }
    pthread_t thread() const { return mThread.load(); }
    int runs() const { return mRuns.load(); }

private:
    CGate* mGate;
    std::atomic<pthread_t> mThread{};
    std::atomic<int> mRuns{0};
};

class CFailingJob : public CWorkerThread {
public:
    CError* run() override {
        markWorkerThread();
        return newError("@talstr_Test_run_JobFailed Job failed.");
    }
};

// Every test starts and ends with an empty idle list, so that thread counts are its own.
class CWorkerThreadPoolTest : public ::testing::Test {
protected:
    void SetUp() override { CWorkerThreadPool::releaseIdleWorkers(); }
    void TearDown() override { CWorkerThreadPool::releaseIdleWorkers(); }
};

} // namespace

TEST_F(CWorkerThreadPoolTest, EmptyPoolWaitReturnsAtOnce) {
    CWorkerThreadPool pool;
    EXPECT_EQ(pool.waitAll(true), nullptr);
    EXPECT_EQ(pool.waitAll(false), nullptr);
    EXPECT_EQ(pool.getThreadCount(), 0);
}

TEST_F(CWorkerThreadPoolTest, ConcurrentEveryJobRunsOnceOnAWorkerOfItsOwn) {
    CWorkerThreadPool pool;
    CRecordingJob* jobs[4];
    for (CRecordingJob*& job : jobs) {
        job = new CRecordingJob();
        ASSERT_EQ(pool.addThread(job), nullptr);
    }
    pool.wakeAll();
    ASSERT_EQ(pool.waitAll(true), nullptr);
    std::set<pthread_t> threads;
    for (CRecordingJob* job : jobs) {
        EXPECT_EQ(job->runs(), 1);
        EXPECT_FALSE(pthread_equal(job->thread(), pthread_self()));
        threads.insert(job->thread());
    }
    EXPECT_EQ(threads.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_STREQ(CThread::getThreadName(jobs[i]->thread()).chars8(), "worker-thread");
}

TEST_F(CWorkerThreadPoolTest, ConcurrentNextPoolReusesIdleWorkersWithoutNewThreads) {
    const int before = liveWorkerThreads();
    std::set<CPersistentThread*> firstWorkers;
    {
        CWorkerThreadPool pool;
        for (int i = 0; i < 3; ++i) {
            CRecordingJob* job = new CRecordingJob();
            ASSERT_EQ(pool.addThread(job), nullptr);
            firstWorkers.insert(job->getWorker());
        }
        pool.wakeAll();
        ASSERT_EQ(pool.waitAll(true), nullptr);
    }
    EXPECT_EQ(CWorkerThreadPool::getIdleWorkerCount(), 3);
    EXPECT_EQ(liveWorkerThreads(), before + 3);
    for (int round = 0; round < 5; ++round) {
        CWorkerThreadPool pool;
        std::set<CPersistentThread*> workers;
        CRecordingJob* jobs[3];
        for (CRecordingJob*& job : jobs) {
            job = new CRecordingJob();
            ASSERT_EQ(pool.addThread(job), nullptr);
            workers.insert(job->getWorker());
        }
        EXPECT_EQ(CWorkerThreadPool::getIdleWorkerCount(), 0);
        pool.wakeAll();
        ASSERT_EQ(pool.waitAll(true), nullptr);
        for (CRecordingJob* job : jobs)
            EXPECT_EQ(job->runs(), 1);
        EXPECT_EQ(workers, firstWorkers);
        EXPECT_EQ(liveWorkerThreads(), before + 3);
    }
}

TEST_F(CWorkerThreadPoolTest, ConcurrentFirstErrorEndsTheWaitWhileAnotherJobStillRuns) {
    CLogCapture log;
    CGate gate;
    CRecordingJob* blocked = new CRecordingJob(&gate);
    {
        CWorkerThreadPool pool;
        ASSERT_EQ(pool.addThread(blocked), nullptr);
        ASSERT_EQ(pool.addThread(new CFailingJob()), nullptr);
        pool.wakeAll();
        CError* error = pool.waitAll(true);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(blocked->runs(), 0);                 // returned before the other job could finish
        ASSERT_EQ(error->lineCount(), 3);
        EXPECT_STREQ(error->line(0).chars8(), "Job failed.");
        EXPECT_THAT(error->line(1).chars8(), MatchesRegex(".*CWorkerThreadPoolTest\\( [0-9]+ \\)"));
        EXPECT_THAT(error->line(2).chars8(), MatchesRegex("Core/CWorkerThreadPool\\( [0-9]+ \\)"));
        delete error;
        gate.open();
        EXPECT_EQ(pool.waitAll(true), nullptr);        // the error was taken: it does not come twice
        EXPECT_EQ(blocked->runs(), 1);
    }
    EXPECT_TRUE(log.lines().empty());                  // destroying the pool logs nothing again
}

namespace {
// Opens a gate as soon as a log line arrives.
class CGateOnLog : public CLogCapture {
public:
    explicit CGateOnLog(CGate& gate) : mGate(gate) {}
    void write(const char* text) override {
        CLogCapture::write(text);
        mGate.open();
    }

private:
    CGate& mGate;
};
} // namespace

TEST_F(CWorkerThreadPoolTest, ConcurrentWithoutTheFlagErrorsAreLoggedAndTheWaitGoesOn) {
    CGate gate;
    CGateOnLog log(gate);
    CWorkerThreadPool pool;
    CRecordingJob* blocked = new CRecordingJob(&gate);  // finishes only after the error was logged
    ASSERT_EQ(pool.addThread(blocked), nullptr);
    ASSERT_EQ(pool.addThread(new CFailingJob()), nullptr);
    pool.wakeAll();
    EXPECT_EQ(pool.waitAll(false), nullptr);
    EXPECT_EQ(blocked->runs(), 1);
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Job failed.");
    EXPECT_THAT(lines[1], MatchesRegex(".*CWorkerThreadPoolTest\\( [0-9]+ \\)"));
}

TEST_F(CWorkerThreadPoolTest, ConcurrentReleasedPoolCanBeUsedAgain) {
    CWorkerThreadPool pool;
    for (int round = 1; round <= 3; ++round) {
        CRecordingJob* job = new CRecordingJob();
        ASSERT_EQ(pool.addThread(job), nullptr);
        ASSERT_EQ(pool.getThreadCount(), 1);
        pool.wakeAll();
        ASSERT_EQ(pool.waitAll(true), nullptr);
        EXPECT_EQ(job->runs(), 1);
        pool.releaseThreads();                          // deletes the job
        EXPECT_EQ(pool.getThreadCount(), 0);
        EXPECT_EQ(CWorkerThreadPool::getIdleWorkerCount(), 1);
    }
}

TEST_F(CWorkerThreadPoolTest, WorkerWhoseThreadCannotStartIsDroppedAndTheJobStaysWithTheCaller) {
    CWorkerThreadPool pool;
    CRecordingJob* job = new CRecordingJob();
    CThread::setCreateFailsForTesting(true);
    CError* error = pool.addThread(job);
    CThread::setCreateFailsForTesting(false);
    ASSERT_NE(error, nullptr);
    ASSERT_EQ(error->lineCount(), 3);
    EXPECT_STREQ(error->line(0).chars8(), "Error creating thread.");
    EXPECT_THAT(error->line(1).chars8(), MatchesRegex("Core/CThread\\( [0-9]+ \\)"));
    EXPECT_THAT(error->line(2).chars8(), MatchesRegex("Core/CWorkerThreadPool\\( [0-9]+ \\)"));
    delete error;
    EXPECT_EQ(pool.getThreadCount(), 0);
    EXPECT_EQ(CWorkerThreadPool::getIdleWorkerCount(), 0);   // the dead worker is not kept either
    EXPECT_EQ(job->getWorker(), nullptr);
    ASSERT_EQ(pool.addThread(job), nullptr);           // still the caller's to retry or run itself
    pool.wakeAll();
    ASSERT_EQ(pool.waitAll(true), nullptr);
    EXPECT_EQ(job->runs(), 1);
}

TEST_F(CWorkerThreadPoolTest, ConcurrentReleasingTheIdleListJoinsEveryIdleThread) {
    const int before = liveWorkerThreads();
    {
        CWorkerThreadPool pool;
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(pool.addThread(new CRecordingJob()), nullptr);
        pool.wakeAll();
        ASSERT_EQ(pool.waitAll(true), nullptr);
    }
    EXPECT_EQ(liveWorkerThreads(), before + 3);
    CWorkerThreadPool::releaseIdleWorkers();
    EXPECT_EQ(CWorkerThreadPool::getIdleWorkerCount(), 0);
    EXPECT_EQ(liveWorkerThreads(), before);           // joined: none of them outlives the call
}

TEST_F(CWorkerThreadPoolTest, ConcurrentPoolsOnSeveralThreadsShareTheIdleList) {
    constexpr int kThreads = 4, kRounds = 50;
    std::atomic<int> runs{0};
    class CCountingJob : public CWorkerThread {
    public:
        explicit CCountingJob(std::atomic<int>& runs) : mRuns(runs) {}
        CError* run() override {
            markWorkerThread();
            mRuns.fetch_add(1);
            return nullptr;
        }

    private:
        std::atomic<int>& mRuns;
    };
    std::vector<std::thread> users;
    for (int t = 0; t < kThreads; ++t)
        users.emplace_back([&] {
            for (int round = 0; round < kRounds; ++round) {
                CWorkerThreadPool pool;
                for (int j = 0; j < 2; ++j)
                    if (CError* error = pool.addThread(new CCountingJob(runs))) {
                        ADD_FAILURE() << error->line(0).chars8();
                        delete error;
                    }
                pool.wakeAll();
                EXPECT_EQ(pool.waitAll(true), nullptr);
            }
        });
    for (std::thread& user : users)
        user.join();
    EXPECT_EQ(runs.load(), kThreads * kRounds * 2);
    EXPECT_LE(CWorkerThreadPool::getIdleWorkerCount(), kThreads * 2);   // workers were reused
}
