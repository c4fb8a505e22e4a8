#include "UI/CUIEventBridge.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectEventBridgeHandler.h"
#include "Core/CPumpedEventBridge.h"
#include "Core/CSortedMap.h"
#include "Core/CWorkerThreadPool.h"
#include "Core/Log.h"
#include "Platform/CMainLoopTimers.h"
#include "Platform/CSpinLock.h"

namespace tal {

namespace {

struct CPostedArgs : CAttrMap, CPoolAllocated {};

using CPendingEvents = CSortedMap<std::int32_t, CPostedArgs*>;

// The undelivered events of every registered poster. What is still held at process exit is freed.
struct CEventRegistryOfPosters {
    CSpinLock lock;
    CSortedMap<const CUIEventBridge*, CPendingEvents*> posters;   // under lock
    std::uint32_t nextId = 1;                                      // under lock

    ~CEventRegistryOfPosters() {
        for (auto* n = posters.first(); n != nullptr; n = decltype(posters)::next(n)) {
            for (auto* e = n->value->first(); e != nullptr; e = CPendingEvents::next(e)) delete e->value;
            delete n->value;
        }
    }

    bool idPending(std::int32_t id) const {
        for (auto* n = posters.first(); n != nullptr; n = decltype(posters)::next(n))
            if (n->value->contains(id)) return true;
        return false;
    }

    // Under lock. Unsigned arithmetic wraps without overflow; 0 and pending ids are skipped. With
    // every id pending (never in practice) the search would not end, so it gives up after a full
    // turn and reuses the id, which replaces the pending event.
    std::int32_t takeId() {
        for (std::uint64_t tries = 0;; ++tries) {
            const std::uint32_t candidate = nextId++;
            const auto id = static_cast<std::int32_t>(candidate);
            if (id == 0) continue;
            if (tries > 0xFFFFFFFFull || !idPending(id)) return id;
        }
    }
};

CEventRegistryOfPosters& registry() {
    static CEventRegistryOfPosters instance;
    return instance;
}

} // namespace

CUIEventBridge::CUIEventBridge(CObjectEventBridgeHandler& owner) : mOwner(&owner), mLoop(CMainLoopTimers::current()) {
    CPendingEvents* fresh = new CPendingEvents;
    bool added = false;
    {
        CSpinLockGuard guard(registry().lock);
        auto* entry = registry().posters.findOrAdd(this, &added);
        if (added) entry->value = fresh;
    }
    if (!added) delete fresh;
}

// The editor's tree goes with its poster: the idle pool workers go too (pools that run now keep
// theirs, and later pools start new ones).
CUIEventBridge::~CUIEventBridge() {
    unregister();
    CWorkerThreadPool::releaseIdleWorkers();
}

CError* CUIEventBridge::postEvent(const CAttrMap& args) {
    CPostedArgs* copy = new CPostedArgs;
    copyAttrMap(args, *copy);
    CPostedArgs* replaced = nullptr;
    std::int32_t id = 0;
    CMainLoopTimers* loop = nullptr;
    {
        CEventRegistryOfPosters& r = registry();
        CSpinLockGuard guard(r.lock);
        if (auto* entry = r.posters.find(this)) {
            id = r.takeId();
            loop = mLoop;   // read while registered: the poster may go away once the lock is released
            auto* slot = entry->value->findOrAdd(id);
            replaced = slot->value;
            slot->value = copy;
            copy = nullptr;
        }
    }
    delete replaced;
    delete copy;   // not registered: dropped
    if (loop != nullptr) loop->postCall(&CUIEventBridge::deliverThunk, this, id);
    return nullptr;
}

CError* CUIEventBridge::deliverPostedEvent(CUIEventBridge* poster, std::int32_t id) {
    CPostedArgs* args = nullptr;
    {
        CEventRegistryOfPosters& r = registry();
        CSpinLockGuard guard(r.lock);
        if (auto* entry = r.posters.find(poster)) {
            if (auto* event = entry->value->find(id)) {
                args = event->value;
                entry->value->removeNode(event);
            }
        }
    }
    if (args == nullptr) return nullptr;
    CError* err = poster->mOwner->runBridgedCall(*args);
    if (err != nullptr) err = traceError(err);
    delete args;
    return err;
}

void CUIEventBridge::deliverThunk(void* poster, std::int64_t value) {
    if (CError* err = deliverPostedEvent(static_cast<CUIEventBridge*>(poster), static_cast<std::int32_t>(value))) {
        logError(err);
        delete err;
    }
}

void CUIEventBridge::unregister() {
    CPendingEvents* pending = nullptr;
    {
        CEventRegistryOfPosters& r = registry();
        CSpinLockGuard guard(r.lock);
        if (auto* entry = r.posters.find(this)) {
            pending = entry->value;
            r.posters.removeNode(entry);
        }
    }
    if (pending == nullptr) return;
    for (auto* e = pending->last(); e != nullptr; e = CPendingEvents::previous(e)) delete e->value;
    delete pending;
}

bool CUIEventBridge::isRegistered(const CUIEventBridge* poster) {
    CSpinLockGuard guard(registry().lock);
    return registry().posters.contains(poster);
}

void CUIEventBridge::pendingIds(const CUIEventBridge* poster, CArray<std::int32_t>& out) {
    out.clear();
    CSpinLockGuard guard(registry().lock);
    if (auto* entry = registry().posters.find(poster))
        for (auto* e = entry->value->first(); e != nullptr; e = CPendingEvents::next(e)) out.add(e->key);
}

std::uint32_t CUIEventBridge::nextEventId() {
    CSpinLockGuard guard(registry().lock);
    return registry().nextId;
}

void CUIEventBridge::setNextEventId(std::uint32_t next) {
    CSpinLockGuard guard(registry().lock);
    registry().nextId = next;
}

} // namespace tal
