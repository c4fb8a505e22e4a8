#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CUpdateRecord.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tal {

class CUpdateNotifier;

// A receiver of keyed change records from one notifier at a time (see CUpdateNotifier).
// Every concrete subclass calls detach() in its own destructor: a notification running on another
// thread must not reach a listener whose subclass parts are already gone.
class CUpdateListener : public CCheckedObject {
public:
    CUpdateListener() = default;
    ~CUpdateListener() override;
    CUpdateListener(const CUpdateListener&) = delete;
    CUpdateListener& operator=(const CUpdateListener&) = delete;

    // --- any thread ---
    // Leaves the current notifier (when it is still live), then attaches to notifier under
    // notifier->getListenerKey(param). A null or dead notifier is only recorded.
    void setNotifier(CUpdateNotifier* notifier, std::intptr_t param);
    void detach() { setNotifier(nullptr, 0); }
    // Forgets the notifier without touching it.
    void clearNotifier();
    CUpdateNotifier* notifier() const noexcept { return mNotifier.load(std::memory_order_acquire); }
    std::int64_t key();

    // --- the notifying thread, under the notifier's mutex ---
    virtual void update(const CUpdateRecord* record) = 0;

private:
    friend class CUpdateNotifier;
    // Under the listener's mutex: leaves the current notifier if it is still live.
    void leaveNotifier();

    std::recursive_mutex mMutex;
    // Written under mMutex, and by a dying notifier under its stripe mutex.
    std::atomic<CUpdateNotifier*> mNotifier{nullptr};
    std::int64_t mKey = 0;  // under mMutex
};

// A listener on behalf of an owner object.
template <class T>
class COwnedUpdateListener : public CUpdateListener {
public:
    explicit COwnedUpdateListener(T* owner = nullptr) : owner(owner) {}
    T* owner;
};

} // namespace tal
