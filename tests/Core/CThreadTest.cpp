#include "Core/CThread.h"

#include "Core/CError.h"
#include "support/CLogCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

using namespace tal;
using ::testing::ElementsAre;
using ::testing::MatchesRegex;

namespace {

// A body that counts its wake-ups until a stop is asked; the test waits for the count it expects.
class CCountingThread : public CThread {
public:
    explicit CCountingThread(const CString& name = CString()) : CThread(name) {}
    ~CCountingThread() override { stopThread(); }

    void waitForCount(int n) {
        std::unique_lock<std::mutex> lock(mMutex);
        mChanged.wait(lock, [&] { return mCount >= n || mEnded; });
    }
    int count() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mCount;
    }
    bool ended() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mEnded;
    }
    pthread_t handle() {
        waitForStart();
        return mHandle;
    }

protected:
    CError* run() override {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mHandle = pthread_self();
            mStarted = true;
        }
        mChanged.notify_all();
        while (waitSignal()) {
            std::lock_guard<std::mutex> lock(mMutex);
            ++mCount;
            mChanged.notify_all();
        }
        std::lock_guard<std::mutex> lock(mMutex);
        mEnded = true;
        mChanged.notify_all();
        return nullptr;
    }

private:
    void waitForStart() {
        std::unique_lock<std::mutex> lock(mMutex);
        mChanged.wait(lock, [&] { return mStarted; });
    }

    std::mutex mMutex;
    std::condition_variable mChanged;
    int mCount = 0;
    bool mStarted = false;
    bool mEnded = false;
    pthread_t mHandle{};
};

class CFailingThread : public CThread {
public:
    ~CFailingThread() override { stopThread(); }

protected:
    CError* run() override { return newError("@talstr_Test_run_Failed Body failed with %1.", CString::emptyString, CString("42")); }
};

const char* const kTraceLine = "Core/CThread\\( [0-9]+ \\)";

} // namespace

TEST(CThread, ConcurrentEachSignalWakesTheBodyOnce) {
    CCountingThread thread;
    ASSERT_EQ(thread.runThread(), nullptr);
    for (int i = 1; i <= 3; ++i) {
        thread.signal();
        thread.waitForCount(i);
        EXPECT_EQ(thread.count(), i);
    }
    thread.stopThread();
    EXPECT_TRUE(thread.ended());
    EXPECT_EQ(thread.count(), 3);                  // the stop's wake-up ends the body, it is no job
    EXPECT_FALSE(thread.isRunning());
}

TEST(CThread, ConcurrentSecondRunThreadFailsAndLeavesTheFirstThreadAlone) {
    CCountingThread thread(CString("second-run"));
    ASSERT_EQ(thread.runThread(), nullptr);
    const pthread_t handle = thread.handle();
    CError* error = thread.runThread();
    ASSERT_NE(error, nullptr);
    ASSERT_EQ(error->lineCount(), 2);
    EXPECT_STREQ(error->line(0).chars8(), "Thread is already running.");
    EXPECT_THAT(error->line(1).chars8(), MatchesRegex(kTraceLine));
    delete error;
    EXPECT_TRUE(thread.isRunning());
    thread.signal();
    thread.waitForCount(1);                        // the first thread still serves
    EXPECT_EQ(thread.handle(), handle);
    thread.stopThread();
}

TEST(CThread, ConcurrentNameIsRecordedWhileRunningOnly) {
    CCountingThread named(CString("named-thread"));
    CCountingThread unnamed;
    ASSERT_EQ(named.runThread(), nullptr);
    ASSERT_EQ(unnamed.runThread(), nullptr);
    const pthread_t namedHandle = named.handle(), unnamedHandle = unnamed.handle();
    EXPECT_STREQ(CThread::getThreadName(namedHandle).chars8(), "named-thread");
    EXPECT_TRUE(CThread::getThreadName(unnamedHandle).isEmpty());
    char systemName[16] = {};
    pthread_getname_np(namedHandle, systemName, sizeof systemName);
    EXPECT_STREQ(systemName, "named-thread");
    named.stopThread();
    unnamed.stopThread();
    EXPECT_TRUE(CThread::getThreadName(namedHandle).isEmpty());
}

// Freeing the name map forgets every name; the next name starts a new map.
TEST(CThread, ReleasedNameMapStartsAgainOnTheNextName) {
    const pthread_t self = pthread_self();
    CThread::setThreadName(self, CString("before-release"));
    CThread::releaseThreadNames();
    EXPECT_TRUE(CThread::getThreadName(self).isEmpty());
    CThread::removeThreadName(self);
    CThread::setThreadName(self, CString("after-release"));
    EXPECT_STREQ(CThread::getThreadName(self).chars8(), "after-release");
    CThread::removeThreadName(self);
    EXPECT_TRUE(CThread::getThreadName(self).isEmpty());
}

TEST(CThread, StopThreadOnAThreadNeverStartedDoesNothing) {
    CCountingThread thread(CString("idle"));
    thread.stopThread();
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.ended());                   // no body ever ran
}

TEST(CThread, ConcurrentBodyErrorIsLoggedOnTheThread) {
    CLogCapture log;
    CFailingThread thread;
    ASSERT_EQ(thread.runThread(), nullptr);
    thread.stopThread();                            // joins: the body has returned and been reported
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Body failed with 42.");
    EXPECT_THAT(lines[1], MatchesRegex(".*CThreadTest\\( [0-9]+ \\)"));
}

TEST(CThread, ConcurrentCreationFailureLeavesTheObjectStopped) {
    CCountingThread thread;
    CThread::setCreateFailsForTesting(true);
    CError* error = thread.runThread();
    CThread::setCreateFailsForTesting(false);
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error->line(0).chars8(), "Error creating thread.");
    delete error;
    EXPECT_FALSE(thread.isRunning());
    ASSERT_EQ(thread.runThread(), nullptr);         // and it can start afterwards
    thread.signal();
    thread.waitForCount(1);
    EXPECT_EQ(thread.count(), 1);
}

TEST(CThread, ConcurrentHighPriorityThreadStartsWithOrWithoutRealTimeRights) {
    CCountingThread thread;
    ASSERT_EQ(thread.runThread(true), nullptr);
    thread.signal();
    thread.waitForCount(1);
    EXPECT_EQ(thread.count(), 1);
}
