#pragma once
#include <pthread.h>

namespace tal {

// A recursive POSIX mutex that is destroyed with pthread_mutex_destroy. std::recursive_mutex is
// trivially destructible on Linux, so race detectors never learn that it died and take a new mutex
// made later in the same (pool-recycled) memory for the old one. Meets the Lockable requirements
// (std::lock_guard, std::unique_lock). Any thread.
class CRecursiveMutex {
public:
    CRecursiveMutex() noexcept {
        pthread_mutexattr_t attrs;
        pthread_mutexattr_init(&attrs);
        pthread_mutexattr_settype(&attrs, PTHREAD_MUTEX_RECURSIVE);
        pthread_mutex_init(&mMutex, &attrs);
        pthread_mutexattr_destroy(&attrs);
    }
    ~CRecursiveMutex() { pthread_mutex_destroy(&mMutex); }
    CRecursiveMutex(const CRecursiveMutex&) = delete;
    CRecursiveMutex& operator=(const CRecursiveMutex&) = delete;

    void lock() noexcept { pthread_mutex_lock(&mMutex); }
    void unlock() noexcept { pthread_mutex_unlock(&mMutex); }
    bool try_lock() noexcept { return pthread_mutex_trylock(&mMutex) == 0; }

private:
    pthread_mutex_t mMutex;
};

} // namespace tal
