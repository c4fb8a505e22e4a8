#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CUpdateRecord.h"

#include <atomic>
#include <cstdint>

namespace tal {

class CUpdateNotifier;

// A receiver of keyed change records from one notifier at a time (see CUpdateNotifier).
// Every concrete subclass calls detach() first thing in its own destructor: a notification running
// on another thread must not reach a listener whose subclass parts are already gone. The base
// checks it: a listener that reaches the base destructor still attached is logged, and debug
// builds stop there.
class CUpdateListener : public CCheckedObject {
public:
    CUpdateListener() = default;
    ~CUpdateListener() override;   // leaves a live notifier
    CUpdateListener(const CUpdateListener&) = delete;
    CUpdateListener& operator=(const CUpdateListener&) = delete;

    // --- any thread ---
    // Leaves the current notifier (when it is still live), then attaches to notifier under
    // notifier->getListenerKey(param). A pointer that is not a live notifier is only recorded;
    // null only detaches. Detaching keeps the key.
    void setNotifier(CUpdateNotifier* notifier, std::intptr_t param);
    void detach() { setNotifier(nullptr, 0); }
    // Forgets the notifier, leaving it when it is still live (a listener is never left behind in
    // a live notifier's set, where it would be called after its destruction).
    void clearNotifier() { setNotifier(nullptr, 0); }
    CUpdateNotifier* notifier() const noexcept { return mNotifier.load(std::memory_order_acquire); }
    // The key of the last successful attach (0 before any).
    std::int64_t key();

    // --- the notifying thread, under the notifier's lock ---
    virtual void update(const CUpdateRecord* record) = 0;

private:
    friend class CUpdateNotifier;

    CRecursiveMutex mMutex;
    // Written under mMutex, and set to null by a dying notifier under its own lock.
    std::atomic<CUpdateNotifier*> mNotifier{nullptr};
    std::int64_t mKey = 0;  // under mMutex
};

} // namespace tal
