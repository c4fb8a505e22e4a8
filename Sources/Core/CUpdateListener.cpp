#include "Core/CUpdateListener.h"

#include "Core/CUpdateNotifier.h"
#include "Core/Log.h"

#include <cassert>

#include <mutex>

namespace tal {

CUpdateListener::~CUpdateListener() {
    std::lock_guard lock(mMutex);
    // Still attached here means the subclass did not detach first: until this moment a
    // notification could reach update() with the subclass's parts gone. Taken out now, reported,
    // and stopped in debug builds, where every test destroys its listeners.
    if (CUpdateNotifier::leave(this)) {
        writeLog("Update listener destroyed while attached: its subclass must call detach() first in its destructor.",
                 true);
        assert(!"CUpdateListener subclass destroyed without detach()");
    }
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
