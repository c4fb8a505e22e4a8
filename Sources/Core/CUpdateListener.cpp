#include "Core/CUpdateListener.h"

#include "Core/CUpdateNotifier.h"

#include <mutex>

namespace tal {

CUpdateListener::~CUpdateListener() {
    std::lock_guard lock(mMutex);
    CUpdateNotifier::leave(this);
}

void CUpdateListener::setNotifier(CUpdateNotifier* notifier, std::intptr_t param) {
    std::lock_guard lock(mMutex);
    CUpdateNotifier::leave(this);
    mNotifier.store(notifier, std::memory_order_release);
    if (notifier != nullptr) CUpdateNotifier::join(this, notifier, param);
}

std::int64_t CUpdateListener::key() {
    std::lock_guard lock(mMutex);
    return mKey;
}

} // namespace tal
