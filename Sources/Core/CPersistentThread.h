#pragma once
#include "Core/CThread.h"

namespace tal {

class CWorkerThread;
class CWorkerThreadPool;

// A pool worker: a thread that runs its current job once per wake-up and otherwise sleeps. Workers
// outlive pools: between pools they rest on the process-wide idle list (CWorkerThreadPool).
// Created and owned by CWorkerThreadPool; the pool that took it from the idle list drives it. Its
// thread is named "worker-thread".
class CPersistentThread final : public CThread {
public:
    CPersistentThread();
    ~CPersistentThread() override;            // stops and joins the thread, then deletes the job

    // --- the pool's thread ---
    // Marks the worker busy and lets it run its job once.
    void wake();

protected:
    CError* run() override;

private:
    friend class CWorkerThreadPool;

    CPersistentThread* mNextIdle = nullptr;   // next worker of the idle list; not owned
    CWorkerThreadPool* mPool = nullptr;       // not owned; the pool it serves, set by addThread
    CWorkerThread* mJob = nullptr;            // owned
    bool mBusy = false;                       // under the pool's spin lock
};

} // namespace tal
