#include "Core/CEventRegistry.h"

#include "Core/CAttrMap.h"
#include "Core/CNotifyServer.h"
#include "Core/CObject.h"
#include "Core/CObjectEventBridge.h"

namespace tal {

namespace {

void setTextArg(CAttrMap& args, const char* name, const CString& text) { args.findOrAdd(name)->value.setText(text); }

} // namespace

CEventRegistry::CEventRegistry() {
    installEventHooks();
    mId = CNotifyServer::enter(this);
}

CEventRegistry::~CEventRegistry() {
    CNotifyServer::leave(mId);
    for (auto* n = mSenders.first(); n != nullptr; n = mSenders.next(n)) delete n->value;
}

// --- object ids ---

std::int32_t CEventRegistry::takeObjectId() noexcept {
    CSpinLockGuard guard(mObjectIdLock);
    return mNextObjectId++;
}

void CEventRegistry::noteObject(CObject* object) {
    CSpinLockGuard guard(mObjectsLock);
    mObjects.findOrAdd(object->objectId())->value = object;
}

void CEventRegistry::forgetObject(CObject* object) {
    CSpinLockGuard guard(mObjectsLock);
    auto* node = mObjects.find(object->objectId());
    if (node != nullptr && node->value == object) mObjects.removeNode(node);
}

CObject* CEventRegistry::findObjectById(std::int32_t objectId) {
    CSpinLockGuard guard(mObjectsLock);
    auto* node = mObjects.find(objectId);
    return node != nullptr ? node->value : nullptr;
}

bool CEventRegistry::hasSender(const CString& sender) {
    std::lock_guard lock(mMutex);
    return mSenders.contains(sender);
}

// --- sender entries ---

CEventRegistry::CSenderEntry* CEventRegistry::acquireEntry(const CString& sender, bool create) {
    std::lock_guard lock(mMutex);
    auto* node = mSenders.find(sender);
    if (node == nullptr) {
        if (!create) return nullptr;
        node = mSenders.findOrAdd(sender);
        node->value = new CSenderEntry;
    }
    node->value->useCount.fetch_add(1, std::memory_order_relaxed);
    return node->value;
}

void CEventRegistry::releaseEntry(const CString& sender, CSenderEntry* entry) {
    std::lock_guard lock(mMutex);
    if (entry->useCount.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    mSenders.remove(sender);
    delete entry;
}

// The read position rests on the first call that is not done; with none left the queue empties and
// keeps its capacity.
void CEventRegistry::advanceQueue(CSenderEntry& entry) noexcept {
    while (entry.readPos < entry.queue.count() && entry.queue[entry.readPos].done) ++entry.readPos;
    if (entry.readPos >= entry.queue.count()) {
        entry.queue.clear();
        entry.readPos = 0;
    }
}

// --- registrations ---

void CEventRegistry::addListener(CObject* listener, const CString& handlerName, const CString& sender,
                                 const CString& event, CEventHandler handler) {
    noteObject(listener);
    CSenderEntry* entry = acquireEntry(sender, true);
    {
        std::lock_guard lock(entry->mutex);
        CListenerMap& listeners = entry->events.findOrAdd(event)->value;
        bool added = false;
        auto* node = listeners.findOrAdd(listener->objectId(), &added);
        if (added) entry->useCount.fetch_add(1, std::memory_order_relaxed);
        node->value.listener = listener;
        node->value.handler = handler;
        node->value.handlerName = handlerName;
    }
    releaseEntry(sender, entry);
}

void CEventRegistry::removeListener(CObject* listener, const CString& sender, const CString& event) {
    CSenderEntry* entry = acquireEntry(sender, false);
    if (entry == nullptr) return;
    {
        std::lock_guard lock(entry->mutex);
        auto* eventNode = entry->events.find(event);
        auto* node = eventNode != nullptr ? eventNode->value.find(listener->objectId()) : nullptr;
        if (node != nullptr && node->value.listener == listener) {
            for (int i = entry->readPos; i < entry->queue.count(); ++i)
                if (entry->queue[i].listener == listener) entry->queue[i].done = true;
            advanceQueue(*entry);
            eventNode->value.removeNode(node);
            if (eventNode->value.isEmpty()) entry->events.removeNode(eventNode);
            entry->useCount.fetch_sub(1, std::memory_order_relaxed);
        }
    }
    releaseEntry(sender, entry);
}

// --- delivery ---

CError* CEventRegistry::dispatchEvent(const CString& sender, const CString& event, CAttrMap* args, bool forceBridged) {
    CSenderEntry* entry = acquireEntry(sender, false);
    if (entry == nullptr) return nullptr;
    setTextArg(*args, "sender", sender);
    setTextArg(*args, "event-name", event);
    const std::thread::id self = std::this_thread::get_id();
    const char dispatchMark = 0;  // its address tells this dispatch's queued calls apart
    CError* error = nullptr;
    {
        std::lock_guard lock(entry->mutex);
        if (auto* eventNode = entry->events.find(event)) {
            for (auto* n = eventNode->value.first(); n != nullptr; n = CListenerMap::next(n)) {
                const CListenerEntry& l = n->value;
                std::thread::id bridgeThread;
                CObjectEventBridge* bridge = nullptr;
                if (l.listener->findEventBridge(bridgeThread, bridge) == nullptr) continue;
                if (bridgeThread == self && !forceBridged) {
                    entry->queue.add(CPendingCall{l.listener, l.handler, self, args, &dispatchMark, false});
                    continue;
                }
                setTextArg(*args, "listener", l.listener->getFullName());
                args->findOrAdd("listener-id")->value.setInt(l.listener->objectId());
                setTextArg(*args, "listener-proc", l.handlerName);
                error = bridge->postEvent(*args);
                if (error != nullptr) break;
            }
        }
        if (error != nullptr) {
            // Calls this dispatch queued must not run later with a map that is gone by then.
            for (int i = entry->readPos; i < entry->queue.count(); ++i)
                if (entry->queue[i].dispatch == &dispatchMark) entry->queue[i].done = true;
            advanceQueue(*entry);
        }
    }
    if (error == nullptr) error = drain(*entry, self, &dispatchMark);
    releaseEntry(sender, entry);
    return error;
}

// Runs this thread's waiting calls of the sender in queue order, each with the argument map of the
// dispatch that queued it (an enclosing dispatch is still on the stack). The entry mutex is held
// during each call; it is recursive, so a handler may fire, listen and unlisten on this sender.
CError* CEventRegistry::drain(CSenderEntry& entry, std::thread::id self, const void* dispatch) {
    for (;;) {
        std::lock_guard lock(entry.mutex);
        int i = entry.readPos;
        while (i < entry.queue.count() && (entry.queue[i].done || entry.queue[i].thread != self)) ++i;
        if (i >= entry.queue.count()) return nullptr;
        const CPendingCall call = entry.queue[i];
        entry.queue[i].done = true;
        advanceQueue(entry);
        CError* error = nullptr;
        if (call.handler.hasArgs && call.handler.withArgs != nullptr)
            error = call.handler.withArgs(call.listener, call.args);
        else if (!call.handler.hasArgs && call.handler.plain != nullptr)
            error = call.handler.plain(call.listener);
        if (error != nullptr) {
            for (int k = entry.readPos; k < entry.queue.count(); ++k)
                if (entry.queue[k].dispatch == dispatch) entry.queue[k].done = true;
            advanceQueue(entry);
            return error;
        }
        if (entry.queue.isEmpty()) return nullptr;
    }
}

} // namespace tal
