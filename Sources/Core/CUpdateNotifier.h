#pragma once
#include "Core/CArray.h"
#include "Core/CCheckedObject.h"
#include "Core/CSortedMap.h"
#include "Core/CUpdateRecord.h"

#include <cstdint>

namespace tal {

class CUpdateListener;

// Hands keyed change records to the listeners attached under the record's key, synchronously on the
// notifying thread. Notifier and listeners may be destroyed in either order and on any threads: a
// process-wide registry of live notifiers (64 stripes, each a recursive mutex) tells a listener
// whether the notifier it remembers still exists, and a dying notifier detaches its listeners.
// Lock order: listener, stripe, notifier. update() runs under the notifier's mutex: it may post or
// record, read other notifiers or notify them, but must not attach or detach listeners of this
// notifier from other threads' point of view (they would wait for the notification to end).
class CUpdateNotifier : public CCheckedObject {
public:
    CUpdateNotifier();
    ~CUpdateNotifier() override;
    CUpdateNotifier(const CUpdateNotifier&) = delete;
    CUpdateNotifier& operator=(const CUpdateNotifier&) = delete;

    // --- any thread ---
    // The key of a listener that attaches with param; the base takes param itself.
    virtual std::int64_t getListenerKey(std::intptr_t param);
    // Calls update on every listener of the record's key (0 for null) in attachment order. A
    // listener detached during the loop is not called any more; one attached during it waits for
    // the next notification. The notifier may be destroyed from within an update: the loop ends.
    void notifyUpdate(const CUpdateRecord* record);
    void addListener(CUpdateListener* listener, std::int64_t key);
    // Takes the listener out of the key's set; an empty set is erased.
    void removeListener(CUpdateListener* listener, std::int64_t key);
    // The number of listeners under a key (tests and diagnostics).
    int listenerCount(std::int64_t key);

    // --- the registry of live notifiers ---
    static int stripeOf(const void* notifier) noexcept;

private:
    friend class CUpdateListener;
    struct CState;

    enum Liveness { kLive, kDying, kGone };
    // Locks the stripe of notifier and tells whether it is live, being destroyed or unknown; the
    // caller unlocks it with unlockStripe after acting on the answer.
    static Liveness lockAndCheckLive(const CUpdateNotifier* notifier);
    static void unlockStripe(const CUpdateNotifier* notifier);

    CState* mState;  // the mutex and the notification state; outlives the notifier while it notifies
    CSortedMap<std::int64_t, CArray<CUpdateListener*>> mListeners;  // key -> listeners, attachment order
};

} // namespace tal
