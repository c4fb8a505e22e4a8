#include "Platform/CSpinLock.h"
#include "Platform/CMonotonicClock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace tal;

TEST(CSpinLock, TryLockFailsWhileHeldAndSucceedsAfterUnlock) {
    CSpinLock lock;
    ASSERT_TRUE(lock.tryLock());
    EXPECT_FALSE(lock.tryLock());
    lock.unlock();
    EXPECT_TRUE(lock.tryLock());
    lock.unlock();
}

// Run under ThreadSanitizer too: a plain counter guarded only by the lock must not race.
TEST(CSpinLock, ConcurrentIncrementsAreNotLost) {
    CSpinLock lock;
    long counter = 0;
    constexpr int kThreads = 4, kPerThread = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) {
                CSpinLockGuard guard(lock);
                ++counter;
            }
        });
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(counter, long(kThreads) * kPerThread);
}

TEST(CMonotonicClock, NeverGoesBackwards) {
    std::uint64_t last = getMonotonicNanos();
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t now = getMonotonicNanos();
        ASSERT_GE(now, last);
        last = now;
    }
}
