#include "Core/CPersistentThread.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/CWorkerThread.h"
#include "Core/CWorkerThreadPool.h"

namespace tal {

CPersistentThread::CPersistentThread() : CThread(CString("worker-thread")) {}

CPersistentThread::~CPersistentThread() {
    stopThread();                             // the body reads this object's fields until it ends
    delete mJob;
}

void CPersistentThread::wake() {
    {
        CSpinLockGuard guard(mPool->mLock);
        mBusy = true;
    }
    signal();
}

CError* CPersistentThread::run() {
    while (waitSignal()) {
        // The pool fields were set before the wake-up, whose mutex orders them before this read.
        CWorkerThread* job = mJob;
        CError* error = job->run();
        if (job->mError != nullptr)           // an earlier error that nobody took
            reportError(&job->mError);
        job->mError = error;
        mPool->onJobDone(this);
    }
    return nullptr;
}

} // namespace tal
