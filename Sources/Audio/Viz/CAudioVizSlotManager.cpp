#include "Audio/Viz/CAudioVizSlotManager.h"

#include "Audio/Viz/CAudioVizData.h"
#include "Core/CError.h"
#include "Core/COutputStream.h"

namespace tal {

namespace {

CRecursiveMutex& creationMutex() {
    static CRecursiveMutex mutex;
    return mutex;
}

// Unlinks every entry of a queue map and chains them through `next`; the map's queues end empty.
CAudioVizQueueEntry* unlinkAll(CAudioVizQueueMap* map) noexcept {
    CAudioVizQueueEntry* chain = nullptr;
    if (map == nullptr)
        return chain;
    for (auto* node = map->queues.first(); node != nullptr; node = map->queues.next(node)) {
        CAudioVizQueueEntry* entry = node->value.oldest;
        while (entry != nullptr) {
            CAudioVizQueueEntry* newer = entry->next;
            entry->next = chain;
            chain = entry;
            entry = newer;
        }
        node->value = CAudioVizQueue{};
    }
    return chain;
}

void unlinkEntry(CAudioVizQueue& queue, CAudioVizQueueEntry* entry) noexcept {
    if (entry->previous != nullptr) entry->previous->next = entry->next;
    else queue.oldest = entry->next;
    if (entry->next != nullptr) entry->next->previous = entry->previous;
    else queue.newest = entry->previous;
    entry->next = nullptr;
    entry->previous = nullptr;
}

} // namespace

CAudioVizSlotManager& CAudioVizSlotManager::instance() {
    std::lock_guard<CRecursiveMutex> guard(creationMutex());
    static CAudioVizSlotManager* manager = new CAudioVizSlotManager;   // lives until the process ends
    return *manager;
}

std::int32_t CAudioVizSlotManager::newInstanceId() {
    std::lock_guard<CRecursiveMutex> guard(creationMutex());
    return ++mInstanceCounter;
}

CAudioVizSlotManager::~CAudioVizSlotManager() {
    for (int s = kSlotCount - 1; s >= 0; --s) {
        CAudioVizSlot& slot = mSlots[s];
        clearQueues(s, slot.queues);
        slot.queues = nullptr;
        for (CAudioVizSlotNameEntry* entry : slot.names)
            delete entry;
        delete slot.accumulated;
        delete slot.pending;
    }
}

CAudioVizData* CAudioVizSlotManager::dropUse(CAudioVizData* frame) noexcept {
    if (frame->useCount < 2)
        return frame;
    --frame->useCount;
    return nullptr;
}

void CAudioVizSlotManager::freeEntries(CAudioVizQueueEntry* chain) noexcept {
    while (chain != nullptr) {
        CAudioVizQueueEntry* next = chain->next;
        delete chain;
        chain = next;
    }
}

CAudioVizSlot* CAudioVizSlotManager::claimSlot(std::int32_t s, std::int32_t id) {
    if (!isValidSlot(s))
        return nullptr;
    CAudioVizSlot& slot = mSlots[s];
    std::lock_guard<CRecursiveMutex> guard(slot.dataLock);
    if (slot.owner != -1)
        return nullptr;
    slot.owner = id;
    return &slot;
}

void CAudioVizSlotManager::releaseSlot(std::int32_t s, std::int32_t id) {
    if (!isValidSlot(s))
        return;
    CAudioVizSlot& slot = mSlots[s];
    CAudioVizQueueMap* taken = nullptr;
    {
        std::lock_guard<CRecursiveMutex> guard(slot.dataLock);
        if (slot.owner != id)
            return;
        slot.owner = -1;
        taken = slot.queues;
        slot.queues = nullptr;
    }
    clearQueues(s, taken);
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    if (removeNameEntry(slot, id))
        ++mNamesVersion;
}

bool CAudioVizSlotManager::removeNameEntry(CAudioVizSlot& slot, std::int32_t id) {
    for (int i = 0; i < slot.names.count(); ++i) {
        if (slot.names[i]->instanceId == id) {
            delete slot.names[i];
            slot.names.removeAt(i);
            return i == 0 || slot.names.isEmpty();
        }
    }
    return false;
}

void CAudioVizSlotManager::pushFrame(std::int32_t s, const CString& name, CAudioVizData* frame,
                                     std::int32_t expectedReaders, double time) {
    if (!isValidSlot(s)) {
        delete frame;
        return;
    }
    auto* entry = new CAudioVizQueueEntry;
    entry->time = time;
    entry->frame = frame;
    entry->expectedReaders = expectedReaders;
    CAudioVizSlot& slot = mSlots[s];
    std::lock_guard<CRecursiveMutex> guard(slot.dataLock);
    if (slot.queues == nullptr)
        slot.queues = new CAudioVizQueueMap;
    CAudioVizQueue& queue = slot.queues->queues.findOrAdd(name)->value;
    entry->previous = queue.newest;
    if (queue.newest != nullptr) queue.newest->next = entry;
    else queue.oldest = entry;
    queue.newest = entry;
}

void CAudioVizSlotManager::pruneQueues(std::int32_t s, double now) {
    if (!isValidSlot(s))
        return;
    CAudioVizSlot& slot = mSlots[s];
    CAudioVizQueueEntry* chain = nullptr;
    CAudioVizData* doomed = nullptr;
    {
        std::lock_guard<CRecursiveMutex> guard(slot.dataLock);
        if (slot.queues == nullptr)
            return;
        for (auto* node = slot.queues->queues.first(); node != nullptr; node = slot.queues->queues.next(node)) {
            CAudioVizQueue& queue = node->value;
            while (queue.oldest != nullptr && queue.oldest->time < now - kMaxQueueAge) {
                CAudioVizQueueEntry* entry = queue.oldest;
                unlinkEntry(queue, entry);
                entry->next = chain;
                chain = entry;
            }
        }
        doomed = dropChainUses(chain);
    }
    freeChain(chain, doomed);
}

CAudioVizQueueMap* CAudioVizSlotManager::takeQueues(std::int32_t s) {
    if (!isValidSlot(s))
        return nullptr;
    CAudioVizSlot& slot = mSlots[s];
    std::lock_guard<CRecursiveMutex> guard(slot.dataLock);
    CAudioVizQueueMap* taken = slot.queues;
    slot.queues = nullptr;
    return taken;
}

void CAudioVizSlotManager::clearQueues(std::int32_t s, CAudioVizQueueMap* map) {
    if (map == nullptr)
        return;
    CAudioVizQueueEntry* chain = unlinkAll(map);
    CAudioVizData* doomed = nullptr;
    if (isValidSlot(s)) {
        // Importers may still hold uses of these frames: the counts change under the data lock.
        std::lock_guard<CRecursiveMutex> guard(mSlots[s].dataLock);
        doomed = dropChainUses(chain);
    }
    freeChain(chain, doomed);
    delete map;
}

void CAudioVizSlotManager::removeQueue(std::int32_t s, const CString& name) {
    if (!isValidSlot(s))
        return;
    auto* single = new CAudioVizQueueMap;
    {
        std::lock_guard<CRecursiveMutex> guard(mSlots[s].dataLock);
        auto* node = mSlots[s].queues != nullptr ? mSlots[s].queues->queues.find(name) : nullptr;
        if (node != nullptr) {
            single->queues.findOrAdd(name)->value = node->value;
            mSlots[s].queues->queues.removeNode(node);
        }
    }
    clearQueues(s, single);
}

CAudioVizRequestMap* CAudioVizSlotManager::takePendingRequests(std::int32_t s) {
    if (!isValidSlot(s))
        return nullptr;
    CAudioVizSlot& slot = mSlots[s];
    std::lock_guard<CRecursiveMutex> guard(slot.requestLock);
    CAudioVizRequestMap* taken = slot.pending;
    slot.pending = nullptr;
    return taken;
}

bool CAudioVizSlotManager::changeRequest(std::int32_t s, const CString& name, std::int32_t delta) {
    if (!isValidSlot(s))
        return false;
    CAudioVizSlot& slot = mSlots[s];
    std::lock_guard<CRecursiveMutex> guard(slot.requestLock);
    if (slot.pending == nullptr)
        slot.pending = new CAudioVizRequestMap;
    bool added = false;
    auto* node = slot.pending->counts.findOrAdd(name, &added);
    if (added)
        node->value = delta;
    else if (node->value == -delta)
        slot.pending->counts.removeNode(node);
    else
        node->value += delta;
    return true;
}

void CAudioVizSlotManager::readQueue(std::int32_t s, const CString& name, std::int32_t reader,
                                     CArray<CAudioVizData*>& frames) {
    if (!isValidSlot(s))
        return;
    CAudioVizSlot& slot = mSlots[s];
    CAudioVizQueueEntry* finished = nullptr;
    CAudioVizData* doomed = nullptr;
    {
        std::lock_guard<CRecursiveMutex> guard(slot.dataLock);
        if (slot.queues == nullptr)
            return;
        auto* node = slot.queues->queues.find(name);
        if (node == nullptr)
            return;
        CAudioVizQueue& queue = node->value;
        for (CAudioVizQueueEntry* entry = queue.newest; entry != nullptr;) {
            if (entry->readers.indexOf(reader) >= 0)
                break;   // read before, and so is everything older
            CAudioVizQueueEntry* older = entry->previous;
            ++entry->frame->useCount;
            frames.add(entry->frame);
            if (entry->readers.count() + 1 < entry->expectedReaders) {
                entry->readers.add(reader);
            } else {
                // The last expected reader: the entry leaves the queue with its own use.
                unlinkEntry(queue, entry);
                if (CAudioVizData* frame = dropUse(entry->frame)) {
                    frame->link = doomed;
                    doomed = frame;
                }
                entry->next = finished;
                finished = entry;
            }
            entry = older;
        }
    }
    freeEntries(finished);
    while (doomed != nullptr) {   // not reached: the reader holds a use of every frame it took
        CAudioVizData* next = doomed->link;
        delete doomed;
        doomed = next;
    }
}

void CAudioVizSlotManager::releaseFrames(std::int32_t s, const CArray<CAudioVizData*>& frames) {
    if (!isValidSlot(s) || frames.isEmpty())
        return;
    CAudioVizData* doomed = nullptr;
    {
        std::lock_guard<CRecursiveMutex> guard(mSlots[s].dataLock);
        for (CAudioVizData* frame : frames) {
            if (CAudioVizData* last = dropUse(frame)) {
                last->link = doomed;
                doomed = last;
            }
        }
    }
    while (doomed != nullptr) {
        CAudioVizData* next = doomed->link;
        delete doomed;
        doomed = next;
    }
}

void CAudioVizSlotManager::setInstanceSlotNames(const CSortedMap<std::int32_t, CString>& names, std::int32_t id) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    bool changed = false;
    for (int s = 0; s < kSlotCount; ++s)
        if (!names.contains(s) && removeNameEntry(mSlots[s], id))
            changed = true;
    for (auto* node = names.first(); node != nullptr; node = names.next(node)) {
        if (!isValidSlot(node->key))
            continue;
        CAudioVizSlot& slot = mSlots[node->key];
        int found = -1;
        for (int i = 0; i < slot.names.count(); ++i) {
            if (slot.names[i]->instanceId == id) {
                found = i;
                break;
            }
        }
        if (found >= 0) {
            if (compareStrings(slot.names[found]->text, node->value) != 0) {
                slot.names[found]->text = node->value;
                changed = changed || found == 0;
            }
        } else {
            auto* entry = new CAudioVizSlotNameEntry;
            entry->instanceId = id;
            entry->text = node->value;
            changed = changed || slot.names.isEmpty();
            slot.names.add(entry);
        }
    }
    if (changed)
        ++mNamesVersion;
}

CError* CAudioVizSlotManager::writeSlotNames(COutputStream& out) {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    std::int32_t named = 0;
    for (const CAudioVizSlot& slot : mSlots)
        if (!slot.names.isEmpty())
            ++named;
    CError* err = out.write32(std::uint32_t(named));
    for (int s = 0; err == nullptr && s < kSlotCount; ++s) {
        if (mSlots[s].names.isEmpty())
            continue;
        err = out.write32(std::uint32_t(s));
        if (err == nullptr)
            err = out.writeString(mSlots[s].names[0]->text);
    }
    return traceError(err);
}

std::int32_t CAudioVizSlotManager::namesVersion() {
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    return mNamesVersion;
}

std::int32_t CAudioVizSlotManager::ownerOf(std::int32_t s) {
    if (!isValidSlot(s))
        return -1;
    std::lock_guard<CRecursiveMutex> guard(mSlots[s].dataLock);
    return mSlots[s].owner;
}

int CAudioVizSlotManager::queuedEntryCount(std::int32_t s, const CString& name) {
    if (!isValidSlot(s))
        return 0;
    std::lock_guard<CRecursiveMutex> guard(mSlots[s].dataLock);
    if (mSlots[s].queues == nullptr)
        return 0;
    const auto* node = mSlots[s].queues->queues.find(name);
    int count = 0;
    for (const CAudioVizQueueEntry* e = node ? node->value.oldest : nullptr; e != nullptr; e = e->next)
        ++count;
    return count;
}

CString CAudioVizSlotManager::shownName(std::int32_t s) {
    if (!isValidSlot(s))
        return CString();
    std::lock_guard<CRecursiveMutex> guard(mMutex);
    return mSlots[s].names.isEmpty() ? CString() : mSlots[s].names[0]->text;
}

CAudioVizData* CAudioVizSlotManager::dropChainUses(CAudioVizQueueEntry* chain) noexcept {
    CAudioVizData* doomed = nullptr;
    for (CAudioVizQueueEntry* entry = chain; entry != nullptr; entry = entry->next) {
        if (CAudioVizData* frame = dropUse(entry->frame)) {
            frame->link = doomed;
            doomed = frame;
        }
    }
    return doomed;
}

void CAudioVizSlotManager::freeChain(CAudioVizQueueEntry* chain, CAudioVizData* doomed) noexcept {
    freeEntries(chain);
    while (doomed != nullptr) {
        CAudioVizData* next = doomed->link;
        delete doomed;
        doomed = next;
    }
}

} // namespace tal
