#include "Core/CWorkerThread.h"

#include "Core/CError.h"
#include "Core/Log.h"

namespace tal {

CWorkerThread::~CWorkerThread() {
    if (mError != nullptr)
        reportError(&mError);
}

} // namespace tal
