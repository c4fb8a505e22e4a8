#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CUpdateRecord.h"

#include <cstdint>

namespace tal {

class CUpdateListener;

// Hands keyed change records to the listeners attached under the record's key, synchronously on the
// notifying thread, in attachment order. Notifier and listeners may be destroyed in either order
// and on any threads: a process-wide registry of live notifiers, striped over 64 locks, tells a
// listener whether the notifier it remembers still exists, and a dying notifier detaches its
// listeners (without calling them).
//
// Locks: listener, then stripe; listener, then notifier. A stripe lock is never held while waiting
// for a notifier lock, so a notifier may also be destroyed from within one of its own updates.
// update() runs under the notifier's lock: it should only record or post. Attaching or detaching
// listeners of the same notifier from an update, while other threads do the same, can deadlock.
//
// A class derived from CUpdateNotifier whose getListenerKey override uses its own members calls
// closeNotifier() first thing in its destructor, so that no listener reaches the override while
// those members go away.
class CUpdateNotifier : public CCheckedObject {
public:
    CUpdateNotifier();
    ~CUpdateNotifier() override;
    CUpdateNotifier(const CUpdateNotifier&) = delete;
    CUpdateNotifier& operator=(const CUpdateNotifier&) = delete;

    // --- any thread ---
    // The key of a listener that attaches with param; the base takes param itself.
    virtual std::int64_t getListenerKey(std::intptr_t param);
    // Calls update on every listener of the record's key (0 for a null record), in attachment
    // order. A listener detached or destroyed during the loop is not called any more; one attached
    // during it waits for the next notification. When the notifier is destroyed from within an
    // update, the loop ends there.
    void notifyUpdate(const CUpdateRecord* record);
    // Puts the listener into the key's set (once); neither checks the registry nor changes the
    // listener. Used by CUpdateListener.
    void addListener(CUpdateListener* listener, std::int64_t key);
    // Takes the listener out of the key's set; a key whose set is empty is erased.
    void removeListener(CUpdateListener* listener, std::int64_t key);
    // The number of listeners under a key (tests and diagnostics).
    int listenerCount(std::int64_t key);

    // The registry stripe of a notifier address (0 to 63).
    static int stripeOf(const void* notifier) noexcept;
    // Makes the registry of live notifiers; the ordered start-up calls it before any notifier
    // exists, so that the registry outlives every static notifier.
    static void initRegistry();

protected:
    // Leaves the registry and detaches every listener; the destructor does it when nobody did.
    // Idempotent; called by the destroying thread only.
    void closeNotifier();

private:
    friend class CUpdateListener;
    struct CState;
    struct CStripe;

    static CStripe& stripeFor(const CUpdateNotifier* notifier);
    // The state of a notifier in the registry, with a reference taken; null when the pointer is not
    // registered. forAttach: a closing notifier counts as absent, and key is set from the
    // notifier's getListenerKey(param), run under the stripe lock (which keeps it alive).
    static CState* findState(CUpdateNotifier* notifier, bool forAttach, std::intptr_t param, std::int64_t& key);
    // Under the listener's lock: takes the listener out of the notifier it points to, if that one
    // is still registered. Returns whether the listener was in that notifier's set.
    static bool leave(CUpdateListener* listener);
    // Under the listener's lock, after it recorded notifier: registers it when notifier is live.
    static void join(CUpdateListener* listener, CUpdateNotifier* notifier, std::intptr_t param);

    CState* mState;  // the lock and the listener sets; may outlive the notifier briefly
    bool mClosed = false;
};

} // namespace tal
