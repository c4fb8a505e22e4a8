#pragma once
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstdint>
#include <mutex>

namespace tal {

class CAudioVizData;
class CError;
class COutputStream;

// One frame waiting in an export slot for the importing instances. The entry holds one use of
// the frame. Guarded by its slot's data lock.
struct CAudioVizQueueEntry : CPoolAllocated {
    double time = 0.0;                  // the exporter's running time at the push
    CAudioVizData* frame = nullptr;
    CArray<std::int32_t> readers;       // instances that have read this entry
    std::int32_t expectedReaders = 0;   // requests for the item through the slot at the push
    CAudioVizQueueEntry* next = nullptr;      // newer
    CAudioVizQueueEntry* previous = nullptr;  // older
};

// The frames of one item name waiting in a slot, oldest to newest.
struct CAudioVizQueue {
    CAudioVizQueueEntry* oldest = nullptr;
    CAudioVizQueueEntry* newest = nullptr;
};

struct CAudioVizQueueMap : CPoolAllocated {
    CSortedMap<CString, CAudioVizQueue> queues;
};

// Item name to a request count or delta.
struct CAudioVizRequestMap : CPoolAllocated {
    CSortedMap<CString, std::int32_t> counts;
};

struct CAudioVizSlotNameEntry : CPoolAllocated {
    std::int32_t instanceId = 0;
    CString text;
};

// One of the process's export slots: at most one exporting owner, any number of importers.
struct CAudioVizSlot {
    CRecursiveMutex dataLock;            // owner, queues, entries, use counts of queued frames
    CRecursiveMutex requestLock;         // pending request deltas
    CAudioVizRequestMap* pending = nullptr;   // importers' deltas the owner has not taken yet
    CAudioVizRequestMap* accumulated = nullptr;  // requests owners have taken; only the owner touches it
    std::int32_t owner = -1;                  // exporting instance id, -1 when free
    CArray<CAudioVizSlotNameEntry*> names;    // under the manager mutex; the first is shown
    CAudioVizQueueMap* queues = nullptr;      // under dataLock
};

// The process-wide export slots through which one plug-in instance's editor shows visualisation
// data of another instance in the same host process. 48 slots; each instance that names a slot
// gives it a display name (the first one given is shown); an exporting owner pushes frames of the
// requested items, importers read them.
//
// Made once by the first collector that needs it (instance()) and kept until the process ends.
// Locks: per slot a data lock and a request lock, one manager mutex for the names and the names
// version; no operation holds a slot's data lock and the manager mutex together. Every slot index
// is checked: an index outside 0 to 47 is refused (it may come from a protocol request).
class CAudioVizSlotManager {
public:
    static constexpr int kSlotCount = 48;
    static constexpr double kMaxQueueAge = 0.75;   // seconds an unread entry waits

    CAudioVizSlotManager() = default;
    ~CAudioVizSlotManager();
    CAudioVizSlotManager(const CAudioVizSlotManager&) = delete;
    CAudioVizSlotManager& operator=(const CAudioVizSlotManager&) = delete;

    // --- the process's manager ---
    // The manager, made on the first call. Any thread.
    static CAudioVizSlotManager& instance();
    // The next instance id (1 for the first collector); ids are never reused.
    std::int32_t newInstanceId();
    static bool isValidSlot(std::int32_t slot) noexcept { return slot >= 0 && slot < kSlotCount; }

    // --- owners (exporting audio threads) ---
    // The slot when it was free and is now owned by id; null when owned (also by id) or invalid.
    CAudioVizSlot* claimSlot(std::int32_t slot, std::int32_t id);
    // Frees the slot when id owns it: its queues are dropped and id's name entry removed.
    void releaseSlot(std::int32_t slot, std::int32_t id);
    // Appends a frame to the item's queue; the frame's one use passes to the queue. An invalid
    // slot deletes the frame.
    void pushFrame(std::int32_t slot, const CString& name, CAudioVizData* frame, std::int32_t expectedReaders,
                   double time);
    // Drops entries pushed more than 0.75 s before now.
    void pruneQueues(std::int32_t slot, double now);
    // Takes the slot's queue map (null when none) out under its data lock.
    CAudioVizQueueMap* takeQueues(std::int32_t slot);
    // Drops a queue map taken out of the slot, releasing every entry's frame use.
    void clearQueues(std::int32_t slot, CAudioVizQueueMap* map);
    // Drops the queue of one item name, releasing its entries' frame uses.
    void removeQueue(std::int32_t slot, const CString& name);
    // Takes the importers' pending request deltas (the slot keeps none); the caller deletes them.
    CAudioVizRequestMap* takePendingRequests(std::int32_t slot);

    // --- importers (main threads) ---
    // Queue a request delta for an item of the slot; false for an invalid slot.
    bool addRequest(std::int32_t slot, const CString& name) { return changeRequest(slot, name, +1); }
    bool removeRequest(std::int32_t slot, const CString& name) { return changeRequest(slot, name, -1); }
    // Appends to frames the entries of the item newer than reader's last read, newest first, each
    // with one added use. An entry whose expected readers have all read it leaves the queue.
    void readQueue(std::int32_t slot, const CString& name, std::int32_t reader, CArray<CAudioVizData*>& frames);
    // Releases the uses readQueue added; frames whose last use this was are deleted after the
    // data lock is left.
    void releaseFrames(std::int32_t slot, const CArray<CAudioVizData*>& frames);

    // --- names ---
    // Sets the display names of one instance: map of slot index to text. Slots not in the map
    // lose the instance's entry.
    void setInstanceSlotNames(const CSortedMap<std::int32_t, CString>& names, std::int32_t id);
    // The "export-slot-names" payload: i32 count K, then K times (i32 slot, shown name).
    [[nodiscard]] CError* writeSlotNames(COutputStream& out);
    std::int32_t namesVersion();

    // --- queries (tests and diagnostics) ---
    std::int32_t ownerOf(std::int32_t slot);
    int queuedEntryCount(std::int32_t slot, const CString& name);
    CString shownName(std::int32_t slot);

private:
    bool changeRequest(std::int32_t slot, const CString& name, std::int32_t delta);
    // Releases one use under the data lock; returns the frame when it must be deleted.
    static CAudioVizData* dropUse(CAudioVizData* frame) noexcept;
    static void freeEntries(CAudioVizQueueEntry* chain) noexcept;
    // Drops one use of every frame of a chain (under the slot's data lock); returns the frames
    // that lost their last use, linked. freeChain then frees the entries and those frames.
    static CAudioVizData* dropChainUses(CAudioVizQueueEntry* chain) noexcept;
    static void freeChain(CAudioVizQueueEntry* chain, CAudioVizData* doomed) noexcept;
    // Removes id's entry of a slot; whether the shown name may have changed. Under the manager mutex.
    bool removeNameEntry(CAudioVizSlot& slot, std::int32_t id);

    CRecursiveMutex mMutex;         // names of every slot, names version
    std::int32_t mNamesVersion = 0;
    CAudioVizSlot mSlots[kSlotCount];
    std::int32_t mInstanceCounter = 0;   // under the creation mutex
};

} // namespace tal
