#pragma once
#include "Core/CPoolAllocated.h"
#include "Core/CPoolAllocated.h"

namespace tal {

class CError;
class CPersistentThread;

// One job of a worker pool: a subclass supplies run(), which a pool worker calls after each wake-up.
// Created by the pool's user and owned by its worker from CWorkerThreadPool::addThread on; the pool
// deletes it when it releases its workers. run() runs on the worker's thread.
class CWorkerThread : public CPoolAllocated {
public:
    CWorkerThread() = default;
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;
    virtual ~CWorkerThread();                 // frees an error that nobody took

    // --- worker thread ---
    // The job's work; an error or null. The pool hands the error to its waiter or logs it.
    virtual CError* run() = 0;

    // The worker that runs this job; null before addThread. Not owned.
    CPersistentThread* getWorker() const noexcept { return mWorker; }

private:
    friend class CPersistentThread;
    friend class CWorkerThreadPool;

    CError* mError = nullptr;                 // owned; written by the worker, taken by waitAll
    CPersistentThread* mWorker = nullptr;     // not owned; set by addThread
};

} // namespace tal
