#pragma once
#include "Platform/CSpinLock.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace tal {

class CError;
class CPersistentThread;
class CWorkerThread;

// Runs a set of jobs in parallel on persistent worker threads. Workers are not created per job: a
// process-wide idle list keeps every worker that has served a pool, and the next pool takes its
// workers from there, creating threads only when the list is empty.
// Use: construct (usually as a local), addThread once per job, wake every worker (wakeAll), do the
// caller's own share, waitAll, destroy. The pool belongs to the thread that made it; its workers run
// the jobs. releaseIdleWorkers() must run before the library is unloaded, so that no worker thread
// outlives its code.
class CWorkerThreadPool {
public:
    CWorkerThreadPool() = default;
    CWorkerThreadPool(const CWorkerThreadPool&) = delete;
    CWorkerThreadPool& operator=(const CWorkerThreadPool&) = delete;
    ~CWorkerThreadPool();                     // releaseThreads()

    // --- the owning thread ---
    // Gives the job to a worker (an idle one, else a new thread) without waking it. Takes ownership
    // of the job on success; on failure (a thread that cannot start: "Error creating thread." with
    // the pool's trace line) the job stays with the caller and the pool is unchanged.
    [[nodiscard]] CError* addThread(CWorkerThread* job);
    // Wakes every worker once; each runs its job on its own thread.
    void wakeAll();
    // Waits until no worker is busy and returns null. With returnFirstError, the first job error
    // found ends the wait at once, even while other jobs still run, and is returned with the pool's
    // trace line; without it every job error is logged and freed. Call after the wake-ups: a worker
    // that was not woken does not count as busy.
    [[nodiscard]] CError* waitAll(bool returnFirstError);
    // Waits for every job, deletes the jobs and returns the workers to the idle list. The pool is
    // empty afterwards and can be used again.
    void releaseThreads();

    // --- queries ---
    int getThreadCount() const noexcept { return int(mThreads.size()); }
    CPersistentThread* getThread(int index) const noexcept { return mThreads[std::size_t(index)]; }

    // --- the process-wide idle list (any thread) ---
    // Stops and joins every idle worker and deletes it. Runs when a plug-in instance or a UI event
    // bridge goes away, and at library unload.
    static void releaseIdleWorkers();
    static int getIdleWorkerCount();

private:
    friend class CPersistentThread;

    // Called by a worker whose job has returned: clears its busy flag and wakes a blocked waiter.
    void onJobDone(CPersistentThread* worker);

    CSpinLock mLock;                          // guards the workers' busy flags and mWaiting
    std::vector<CPersistentThread*> mThreads; // not owned: the workers go back to the idle list
    std::mutex mMutex;
    std::condition_variable mCond;
    bool mSignalled = false;                  // under mMutex
    bool mWaiting = false;                    // under mLock: the waiter is (about to be) blocked
};

} // namespace tal
