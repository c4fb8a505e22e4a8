#include "Core/CPumpedEventBridge.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectEventBridgeHandler.h"
#include "Core/Log.h"

namespace tal {

namespace {

struct CQueuedArgs : CAttrMap, CPoolAllocated {};

} // namespace

void copyAttrMap(const CAttrMap& from, CAttrMap& to) {
    for (auto* n = from.first(); n != nullptr; n = CAttrMap::next(n)) to.findOrAdd(n->key)->value.copyTyped(n->value);
}

CPumpedEventBridge::CPumpedEventBridge(CObjectEventBridgeHandler& handler) : mHandler(&handler) {
    handler.setEventBridge(this, std::this_thread::get_id());
}

CPumpedEventBridge::~CPumpedEventBridge() { unregister(); }

CError* CPumpedEventBridge::postEvent(const CAttrMap& args) {
    CQueuedArgs* copy = new CQueuedArgs;
    copyAttrMap(args, *copy);
    {
        CSpinLockGuard guard(mLock);
        if (mRegistered) {
            mQueue.add(copy);
            return nullptr;
        }
    }
    delete copy;
    return nullptr;
}

int CPumpedEventBridge::pendingCount() {
    CSpinLockGuard guard(mLock);
    return mQueue.count();
}

int CPumpedEventBridge::pump() {
    CArray<CAttrMap*> batch;
    {
        CSpinLockGuard guard(mLock);
        batch = static_cast<CArray<CAttrMap*>&&>(mQueue);
        mQueue.clear();
    }
    int run = 0;
    for (int i = 0; i < batch.count(); ++i) {
        CQueuedArgs* args = static_cast<CQueuedArgs*>(batch[i]);
        bool registered;
        {
            CSpinLockGuard guard(mLock);
            registered = mRegistered;
        }
        if (registered) {
            reportError(mHandler->runBridgedCall(*args));
            ++run;
        }
        delete args;
    }
    return run;
}

void CPumpedEventBridge::unregister() {
    bool wasRegistered;
    {
        CSpinLockGuard guard(mLock);
        wasRegistered = mRegistered;
        mRegistered = false;
    }
    if (wasRegistered) mHandler->setEventBridge(nullptr, std::thread::id());
    dropAll();
}

void CPumpedEventBridge::dropAll() {
    CArray<CAttrMap*> dropped;
    {
        CSpinLockGuard guard(mLock);
        dropped = static_cast<CArray<CAttrMap*>&&>(mQueue);
        mQueue.clear();
    }
    for (CAttrMap* args : dropped) delete static_cast<CQueuedArgs*>(args);
}

} // namespace tal
