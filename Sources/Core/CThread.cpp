#include "Core/CThread.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "Platform/CSpinLock.h"

#include <cerrno>
#include <map>
#include <sched.h>

namespace tal {

namespace {

CSpinLock gThreadNamesLock;
// Every running thread with a non-empty name, by handle (compared as an unsigned number). Made on
// first use and kept past the other static objects, since threads may outlive them; freed by
// releaseThreadNames when the library is unloaded. Guarded by gThreadNamesLock.
using ThreadNameMap = std::map<unsigned long, CString>;
ThreadNameMap* gThreadNames = nullptr;

ThreadNameMap& threadNames() {
    if (!gThreadNames) gThreadNames = new ThreadNameMap();
    return *gThreadNames;
}
std::atomic<bool> gCreateFails{false};

} // namespace

CThread::CThread(const CString& name) : mName(name) {}

CThread::~CThread() { stopThread(); }

CError* CThread::runThread(bool highPriority) {
    if (mRunning)
        return newError("@talstr_CThread_runThread_AlreadyRunning Thread is already running.");
    mRunning = true;
    mStopPending.store(false, std::memory_order_release);
    if (pthread_attr_init(&mAttrs) != 0) {
        mRunning = false;
        return newError("@talstr_CThread_runThread_createThreadAttrsError Error creating thread attributes.");
    }
    pthread_attr_setdetachstate(&mAttrs, PTHREAD_CREATE_JOINABLE);
    if (highPriority) {
        pthread_attr_setinheritsched(&mAttrs, PTHREAD_EXPLICIT_SCHED);
        pthread_attr_setschedpolicy(&mAttrs, SCHED_RR);
        sched_param param{};
        param.sched_priority = sched_get_priority_max(SCHED_RR);
        pthread_attr_setschedparam(&mAttrs, &param);
        pthread_attr_setscope(&mAttrs, PTHREAD_SCOPE_SYSTEM);
    }
    int result = gCreateFails.load(std::memory_order_relaxed) ? EAGAIN
                                                              : pthread_create(&mThread, &mAttrs, &threadEntry, this);
    if (result == EPERM && highPriority) {
        // Without real-time rights Linux refuses explicit scheduling outright; run at normal priority.
        pthread_attr_setinheritsched(&mAttrs, PTHREAD_INHERIT_SCHED);
        result = pthread_create(&mThread, &mAttrs, &threadEntry, this);
    }
    if (result != 0) {
        mRunning = false;
        pthread_attr_destroy(&mAttrs);
        return newError("@talstr_CThread_runThread_createThreadError Error creating thread.");
    }
    if (!mName.isEmpty()) {
        setThreadName(mThread, mName);
        char shortName[16] = {};          // the system keeps at most 15 characters
        const CString narrow = mName.narrowed();
        for (int i = 0; i < 15 && i < narrow.length(); ++i)
            shortName[i] = narrow.chars8()[i];
        pthread_setname_np(mThread, shortName);
    }
    return nullptr;
}

void CThread::stopThread() {
    if (!mRunning)
        return;
    requestStop();
    pthread_join(mThread, nullptr);
    pthread_attr_destroy(&mAttrs);
    if (!mName.isEmpty())
        removeThreadName(mThread);
    mRunning = false;
}

void CThread::requestStop() {
    mStopPending.store(true, std::memory_order_release);
    signal();
}

void CThread::signal() {
    std::lock_guard<std::mutex> lock(mMutex);
    mSignalled = true;
    mCond.notify_one();
}

bool CThread::waitSignal() {
    {
        std::unique_lock<std::mutex> lock(mMutex);
        mCond.wait(lock, [this] { return mSignalled; });
        mSignalled = false;
    }
    return !isStopPending();
}

void* CThread::threadEntry(void* self) {
    CError* error = static_cast<CThread*>(self)->run();
    if (error != nullptr)
        reportError(&error);
    return nullptr;
}

void CThread::setThreadName(pthread_t thread, const CString& name) {
    CSpinLockGuard guard(gThreadNamesLock);
    threadNames()[static_cast<unsigned long>(thread)] = name;
}

void CThread::removeThreadName(pthread_t thread) {
    CSpinLockGuard guard(gThreadNamesLock);
    if (gThreadNames) gThreadNames->erase(static_cast<unsigned long>(thread));
}

void CThread::releaseThreadNames() {
    ThreadNameMap* names = nullptr;
    {
        CSpinLockGuard guard(gThreadNamesLock);
        names = gThreadNames;
        gThreadNames = nullptr;
    }
    delete names;
}

CString CThread::getThreadName(pthread_t thread) {
    CSpinLockGuard guard(gThreadNamesLock);
    if (!gThreadNames) return CString();
    const auto it = gThreadNames->find(static_cast<unsigned long>(thread));
    return it == gThreadNames->end() ? CString() : it->second;
}

void CThread::setCreateFailsForTesting(bool fails) noexcept { gCreateFails.store(fails, std::memory_order_relaxed); }

} // namespace tal
