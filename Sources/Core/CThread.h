#pragma once
#include "Core/CPoolAllocated.h"
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <pthread.h>

namespace tal {

class CError;

// The framework's thread object: a POSIX thread with a built-in wake-up signal, a stop request and a
// name recorded in a process-wide map. A subclass supplies the body as run(); an error it returns is
// logged on the thread itself and freed.
// Owned by whoever creates it. runThread, stopThread and destruction come from one controlling
// thread; signal() from any thread; waitSignal() only from the body. A subclass whose body uses the
// subclass's own members calls stopThread() in its own destructor, before those members go.
class CThread : public CPoolAllocated {
public:
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // --- life cycle (controlling thread) ---
    CThread() = default;
    explicit CThread(const CString& name);
    virtual ~CThread();                       // stops a running thread first

    // Starts the thread. A high-priority thread asks for round-robin real-time scheduling at the
    // highest priority; where the system refuses that, it starts at normal priority instead.
    // Errors: "Thread is already running." (the running thread is left alone), "Error creating thread
    // attributes.", "Error creating thread."; after a failure the object is not running.
    [[nodiscard]] CError* runThread(bool highPriority = false);
    // Asks the body to stop, wakes it and waits until it has returned; nothing when not running.
    void stopThread();
    // Asks the body to stop and wakes it without waiting; stopThread() then joins it.
    void requestStop();

    // --- any thread ---
    // Gives the thread its wake-up. Several wake-ups before one wait count as one; none is lost.
    void signal();
    bool isRunning() const noexcept { return mRunning; }
    const CString& getName() const noexcept { return mName; }

    // --- the process-wide map of thread names (any thread) ---
    static void setThreadName(pthread_t thread, const CString& name);
    static void removeThreadName(pthread_t thread);
    // The recorded name of a thread, or an empty string.
    static CString getThreadName(pthread_t thread);
    // Frees the map (at unload, once no thread of the library runs); a later name starts a new one.
    static void releaseThreadNames();

    // Makes the next thread creations fail (true) or work again (false); tests only.
    static void setCreateFailsForTesting(bool fails) noexcept;

protected:
    // The thread body; its result, an error or null, is logged and freed on the thread.
    virtual CError* run() = 0;
    // For the body: blocks until a wake-up is pending and consumes it. False when a stop was asked.
    bool waitSignal();
    bool isStopPending() const noexcept { return mStopPending.load(std::memory_order_acquire); }

private:
    static void* threadEntry(void* self);

    pthread_t mThread{};
    std::mutex mMutex;
    std::condition_variable mCond;
    bool mSignalled = false;                  // under mMutex
    pthread_attr_t mAttrs{};                  // valid while running
    bool mRunning = false;                    // controlling thread only
    std::atomic<bool> mStopPending{false};
    CString mName;
};

} // namespace tal
