#include "Core/CWorkerThreadPool.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/CPersistentThread.h"
#include "Core/CWorkerThread.h"

#include <pthread.h>

namespace tal {

namespace {

// The idle list: workers that have served a pool, linked through mNextIdle. A statically
// initialised mutex, so the list works from the first static initialiser to the last destructor.
pthread_mutex_t gIdleWorkersMutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
CPersistentThread* gIdleWorkers = nullptr;

class CIdleListLock {
public:
    CIdleListLock() { pthread_mutex_lock(&gIdleWorkersMutex); }
    ~CIdleListLock() { pthread_mutex_unlock(&gIdleWorkersMutex); }
    CIdleListLock(const CIdleListLock&) = delete;
    CIdleListLock& operator=(const CIdleListLock&) = delete;
};

} // namespace

CWorkerThreadPool::~CWorkerThreadPool() { releaseThreads(); }

CError* CWorkerThreadPool::addThread(CWorkerThread* job) {
    CPersistentThread* worker = nullptr;
    {
        CIdleListLock lock;
        if (gIdleWorkers != nullptr) {
            worker = gIdleWorkers;
            gIdleWorkers = worker->mNextIdle;
        } else {
            worker = new CPersistentThread();
            if (CError* error = worker->runThread(false)) {
                delete worker;                // never started: nothing to join, nothing to keep
                return traceError(error);
            }
        }
    }
    worker->mNextIdle = nullptr;
    job->mWorker = worker;
    worker->mPool = this;
    delete worker->mJob;
    worker->mJob = job;
    {
        CSpinLockGuard guard(mLock);
        worker->mBusy = false;
    }
    mThreads.push_back(worker);
    return nullptr;
}

void CWorkerThreadPool::wakeAll() {
    for (CPersistentThread* worker : mThreads)
        worker->wake();
}

void CWorkerThreadPool::onJobDone(CPersistentThread* worker) {
    CSpinLockGuard guard(mLock);
    worker->mBusy = false;
    if (mWaiting) {
        mWaiting = false;
        std::lock_guard<std::mutex> lock(mMutex);
        mSignalled = true;
        mCond.notify_one();
    }
    // The pool may be destroyed as soon as the spin lock is released: nothing touches it after.
}

CError* CWorkerThreadPool::waitAll(bool returnFirstError) {
    for (;;) {
        CError* error = nullptr;
        int busy = 0;
        mLock.lock();
        for (CPersistentThread* worker : mThreads) {
            if (worker->mBusy) {
                ++busy;
            } else if (worker->mJob != nullptr && worker->mJob->mError != nullptr) {
                error = worker->mJob->mError;
                worker->mJob->mError = nullptr;
                break;
            }
        }
        if (error != nullptr) {
            mLock.unlock();
            if (returnFirstError)
                return traceError(error);
            reportError(&error);     // logged outside the spin lock; then look again
            continue;
        }
        if (busy == 0) {
            mWaiting = false;
            mLock.unlock();
            return nullptr;
        }
        mWaiting = true;
        mLock.unlock();
        std::unique_lock<std::mutex> lock(mMutex);
        mCond.wait(lock, [this] { return mSignalled; });
        mSignalled = false;
    }
}

void CWorkerThreadPool::releaseThreads() {
    if (CError* error = waitAll(false))       // never an error without the flag
        reportError(&error);
    for (CPersistentThread* worker : mThreads) {
        delete worker->mJob;
        worker->mJob = nullptr;
        worker->mPool = nullptr;
        CIdleListLock lock;
        worker->mNextIdle = gIdleWorkers;
        gIdleWorkers = worker;
    }
    mThreads.clear();
}

void CWorkerThreadPool::releaseIdleWorkers() {
    CIdleListLock lock;
    CPersistentThread* worker = gIdleWorkers;
    gIdleWorkers = nullptr;
    for (CPersistentThread* w = worker; w != nullptr; w = w->mNextIdle)
        w->requestStop();                      // all stop at once, then each is joined
    while (worker != nullptr) {
        CPersistentThread* next = worker->mNextIdle;
        delete worker;
        worker = next;
    }
}

int CWorkerThreadPool::getIdleWorkerCount() {
    CIdleListLock lock;
    int count = 0;
    for (CPersistentThread* w = gIdleWorkers; w != nullptr; w = w->mNextIdle)
        ++count;
    return count;
}

} // namespace tal
