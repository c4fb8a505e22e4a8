#pragma once
#include "Core/CArray.h"
#include "Core/CEventHandler.h"
#include "Core/CPoolAllocated.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Platform/CSpinLock.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace tal {

class CAttrMap;
class CError;
class CObject;

// The event registry of one object tree (an editor or an audio instance), owned by its root. It
// records which object listens to which event of which sender (by the sender's full name), delivers
// fired events (directly on the firing thread when the listener's bridge serves that thread, else
// posted through the bridge), hands out the tree's object ids and finds the tree's objects by id for
// posted calls.
// Locks, taken in this order: the registry table (CNotifyServer), a sender entry's mutex (held while
// its handlers run), the registry mutex (held only around map searches and use-count decisions).
class CEventRegistry : public CPoolAllocated {
public:
    CEventRegistry();
    ~CEventRegistry();
    CEventRegistry(const CEventRegistry&) = delete;
    CEventRegistry& operator=(const CEventRegistry&) = delete;

    // --- queries ---
    std::int32_t id() const noexcept { return mId; }
    // Any thread. The object of that id that listens or has posted a call, null when it is gone.
    CObject* findObjectById(std::int32_t objectId);
    // Whether any registration for the sender name is held (tests and diagnostics).
    bool hasSender(const CString& sender);

    // --- object ids ---
    std::int32_t takeObjectId() noexcept;
    // Makes an object findable by its id for posted calls; forgetObject at its release undoes it.
    void noteObject(CObject* object);
    void forgetObject(CObject* object);

    // --- registrations (CObject::listenObject, unlistenObject, unlistenAll) ---
    void addListener(CObject* listener, const CString& handlerName, const CString& sender, const CString& event,
                     CEventHandler handler);
    // Removes one registration and cancels every waiting call of the listener for that sender.
    void removeListener(CObject* listener, const CString& sender, const CString& event);

    // --- delivery ---
    // Sets "sender" and "event-name" in args (only when the sender has registrations), then calls
    // every listener with a bridge above it, in the order of their object ids: queued and run here
    // when the bridge serves this thread and forceBridged is false, otherwise posted. Returns the
    // first error of a handler or of a bridge; the calls of this dispatch not yet run are dropped.
    [[nodiscard]] CError* dispatchEvent(const CString& sender, const CString& event, CAttrMap* args, bool forceBridged);

private:
    struct CListenerEntry {
        CObject* listener = nullptr;
        CEventHandler handler;
        CString handlerName;
    };
    // Listeners of one event by object id: a stable order (creation order), never by address.
    using CListenerMap = CSortedMap<std::int32_t, CListenerEntry>;
    struct CPendingCall {
        CObject* listener;
        CEventHandler handler;
        std::thread::id thread;
        CAttrMap* args;        // the map of the dispatch that queued it, alive while that dispatch runs
        const void* dispatch;  // that dispatch, so it can drop its own calls when it fails
        bool done;
    };
    struct CSenderEntry : CPoolAllocated {
        CRecursiveMutex mutex;
        std::atomic<std::int32_t> useCount{0};  // registrations plus operations under way
        CSortedMap<CString, CListenerMap> events;
        CArray<CPendingCall> queue;
        int readPos = 0;
    };

    CSenderEntry* acquireEntry(const CString& sender, bool create);
    void releaseEntry(const CString& sender, CSenderEntry* entry);
    static void advanceQueue(CSenderEntry& entry) noexcept;
    static CError* drain(CSenderEntry& entry, std::thread::id self, const void* dispatch);

    std::int32_t mId = 0;
    CSpinLock mObjectIdLock;
    std::int32_t mNextObjectId = 0;
    CRecursiveMutex mMutex;
    CSortedMap<CString, CSenderEntry*> mSenders;
    CSpinLock mObjectsLock;
    CSortedMap<std::int32_t, CObject*> mObjects;
};

// Installs the event system's part of the object life cycle (CObject::setEventHooks); done by every
// registry and every bridge installation, so trees with events always have it.
void installEventHooks();

} // namespace tal
