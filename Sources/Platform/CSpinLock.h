#pragma once
#include <atomic>
#include <immintrin.h>
#include <sched.h>

namespace tal {

// A short lock for hand-offs between threads (the audio thread among them), taken by spinning.
// Test-and-test-and-set on one atomic flag; after a bounded number of pauses the waiter yields its
// time slice so that a preempted holder can finish. Not recursive. Sections under it stay short:
// pointer swaps and small copies, never allocation or I/O.
class CSpinLock {
public:
    CSpinLock() = default;
    CSpinLock(const CSpinLock&) = delete;
    CSpinLock& operator=(const CSpinLock&) = delete;

    // --- any thread ---
    bool tryLock() noexcept {
        return !mLocked.load(std::memory_order_relaxed) && !mLocked.exchange(true, std::memory_order_acquire);
    }
    void lock() noexcept {
        int spins = 0;
        while (!tryLock()) {
            if (++spins < kSpinsBeforeYield) {
                _mm_pause();
            } else {
                sched_yield();
                spins = 0;
            }
        }
    }
    void unlock() noexcept { mLocked.store(false, std::memory_order_release); }
    bool isLocked() const noexcept { return mLocked.load(std::memory_order_relaxed); }

    // std::lock_guard / std::scoped_lock compatibility.
    bool try_lock() noexcept { return tryLock(); }

private:
    static constexpr int kSpinsBeforeYield = 64;
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::atomic<bool> mLocked{false};
};

// Holds a CSpinLock for the lifetime of the guard.
class CSpinLockGuard {
public:
    explicit CSpinLockGuard(CSpinLock& lock) noexcept : mLock(lock) { mLock.lock(); }
    ~CSpinLockGuard() { mLock.unlock(); }
    CSpinLockGuard(const CSpinLockGuard&) = delete;
    CSpinLockGuard& operator=(const CSpinLockGuard&) = delete;

private:
    CSpinLock& mLock;
};

} // namespace tal
