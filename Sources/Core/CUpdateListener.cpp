#include "Core/CUpdateListener.h"

#include "Core/CUpdateNotifier.h"

#include <thread>

namespace tal {

CUpdateListener::~CUpdateListener() {
    std::lock_guard lock(mMutex);
    leaveNotifier();
}

void CUpdateListener::leaveNotifier() {
    for (;;) {
        CUpdateNotifier* old = mNotifier.load(std::memory_order_acquire);
        if (old == nullptr) return;
        const CUpdateNotifier::Liveness state = CUpdateNotifier::lockAndCheckLive(old);
        if (mNotifier.load(std::memory_order_acquire) != old) {
            CUpdateNotifier::unlockStripe(old);  // a dying notifier cleared it meanwhile
            continue;
        }
        if (state == CUpdateNotifier::kLive) old->removeListener(this, mKey);
        CUpdateNotifier::unlockStripe(old);
        if (state != CUpdateNotifier::kDying) return;
        // Its destructor may still reach this listener: wait until it has let go.
        std::this_thread::yield();
    }
}

void CUpdateListener::setNotifier(CUpdateNotifier* notifier, std::intptr_t param) {
    std::lock_guard lock(mMutex);
    leaveNotifier();
    mNotifier.store(notifier, std::memory_order_release);
    if (notifier == nullptr) return;
    if (CUpdateNotifier::lockAndCheckLive(notifier) == CUpdateNotifier::kLive) {
        mKey = notifier->getListenerKey(param);
        notifier->addListener(this, mKey);
    }
    CUpdateNotifier::unlockStripe(notifier);
}

void CUpdateListener::clearNotifier() {
    std::lock_guard lock(mMutex);
    mNotifier.store(nullptr, std::memory_order_release);
}

std::int64_t CUpdateListener::key() {
    std::lock_guard lock(mMutex);
    return mKey;
}

} // namespace tal
