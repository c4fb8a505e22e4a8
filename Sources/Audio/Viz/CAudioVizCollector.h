#pragma once
#include "Audio/CAudioParamListener.h"
#include "Audio/Viz/CAudioVizItem.h"
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CPoolAllocated.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CUpdateNotifier.h"
#include "Platform/CSpinLock.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace tal {

class CAudioEnv;
class CAudioParam;
class CAudioParamCollector;
class CAudioParamInfo;
class CAudioVizData;
class CError;
class COutputStream;
class CAudioVizSlotManager;
struct CAudioVizSlot;

// A request of this instance's editor for an item of another instance's export slot.
struct CAudioVizSlotRequest {
    std::int32_t slot;
    std::int32_t count;   // a delta while pending, the live count once merged
};

// The visualisation collector of one plug-in instance ("audio:viz-collector", found as
// "plugin.viz-collector"): the meeting point of frame producers on the audio thread and the
// editors that show the frames.
//
// - Producers register named items (getVizItem) and post finished frames (postVizData).
// - Editors, through the parameter interface, add and remove requests for items. Requests only
//   queue a delta; the audio thread applies all deltas once per host block (updateRequests), and an
//   item switching on or off sets its "<name>-enable" parameter to 1.0 or 0.0, which switches the
//   producer on and off.
// - Frames of requested items wait in a queue of at most 1024 per item (the oldest drop first)
//   until the editor asks for them (writeVizData writes the "viz-data" payload and frees them).
//
// Threads and locks: the environment's processing spin lock guards the pending request list; the
// item lock guards the item map; the frame lock guards the frame map. All three are held for a few
// pointer operations; frames are always deleted outside them. The audio thread runs postVizData
// and updateRequests, the host's main thread everything else.
class CAudioVizCollector : public CObject, public CUpdateNotifier {
public:
    static constexpr int kMaxQueuedFrames = 1024;

    // The pending request deltas, taken whole by the audio thread.
    struct CRequestList : CPoolAllocated {
        CArray<CAudioVizItemRequest> entries;
    };

    CAudioVizCollector() = default;
    ~CAudioVizCollector() override;

    // --- life cycle: main thread ---
    // Finds the shared "audio.param-enable-viz" definition, the environment (attribute "env") and
    // the parameter collector whose "-enable" parameters this collector writes (attribute
    // "param-collector"); both attributes are required.
    [[nodiscard]] CError* init() override;
    // For tests and tools that build a collector without a description.
    void setContext(CAudioEnv* env, CAudioParamCollector* params, const CAudioParamInfo* enableInfo) noexcept;

    // --- items and requests ---
    // Finds or creates the item of that name. Any thread; creating one allocates.
    CAudioVizItem* getVizItem(const CString& name);
    // Queue a request delta of +1 or -1 for the next host block. Main thread.
    void addItemRequest(CAudioVizItem* item) { queueItemRequest(item, +1); }
    void removeItemRequest(CAudioVizItem* item) { queueItemRequest(item, -1); }

    // --- the audio thread ---
    // Takes the pending request list under the environment's processing lock and applies it; the
    // shell calls this once per host block.
    void runHostBlockRequests();
    // Takes the pending list; the caller holds the environment's processing lock. The caller owns
    // the list (null when there is none) and deletes it after updateRequests.
    CRequestList* takePendingRequestsLocked() noexcept;
    // Applies the request deltas of a taken list in order.
    void updateRequests(const CRequestList* pending, bool exportParamsChanged = false);
    // Applies one delta to an item. group >= 0: the delta comes through the export slot of that
    // channel group.
    void applyItemRequest(CAudioVizItem* item, std::int32_t delta, std::int32_t group);
    // Hands over one finished frame (ownership passes). Frames of items nobody requests are
    // deleted at once.
    void postVizData(CAudioVizItem* item, CAudioVizData* frame);
    // Deletes the oldest frame waiting for the item (a producer out of reserved values makes room
    // for its newest frame). False when none waits. Audio thread.
    bool dropOldestFrame(const CAudioVizItem* item) noexcept;

    // --- the editor side: main thread ---
    // Writes the "viz-data" payload (visualisation time, one block per item with waiting frames,
    // end marker 0) and frees the frames written. requestedFrameRate becomes the rate producers
    // use from the next host block; a rate that is not a positive number is ignored.
    [[nodiscard]] CError* writeVizData(COutputStream& out, double requestedFrameRate);
    // Drops every waiting frame (processing stopped). Any thread that stops processing.
    void releaseExportSlots();

    // --- export slots (off unless "export-slot-param" names a parameter) ---
    // Whenever the shown export slot names changed, writeVizData notifies the collector's update
    // listeners (key 0, no record) after the reply is written; the parameter interface then sends
    // "export-slot-names" to its clients. The names listener below is told at the same moment.
    class CNamesListener {
    public:
        virtual ~CNamesListener() = default;
        virtual void exportSlotNamesChanged(CAudioVizCollector& collector) = 0;
    };
    void setNamesListener(CNamesListener* listener) noexcept { mNamesListener = listener; }
    // Whether export slots are on (the collector then uses the process's slot manager).
    bool hasSlotManager() const noexcept { return mSlotManager != nullptr; }
    std::int32_t instanceId() const noexcept { return mInstanceId; }
    // Main thread: this editor starts or stops importing an item from another instance's slot.
    // False for a slot index outside 0 to 47 or when export slots are off.
    bool addSlotRequest(std::int32_t slot, const CString& name) { return changeSlotRequest(slot, name, +1); }
    bool removeSlotRequest(std::int32_t slot, const CString& name) { return changeSlotRequest(slot, name, -1); }
    // The "export-slot-names" payload; i32 0 when export slots are off.
    [[nodiscard]] CError* writeExportSlotNames(COutputStream& out);
    // Rebuilds this instance's slot display names from its parameters and hands them to the
    // manager. Any thread that changed one of the export parameters.
    void rebuildSlotNames();
    // Audio thread: re-reads the export slot parameter and changes claims.
    void updateExportSlots();
    // Takes the flag "the export slot parameter changed"; the caller holds the environment's
    // processing lock.
    bool takeExportParamsChangedLocked() noexcept;
    // Gives up listeners and slot claims before the collector goes.
    void releaseLinks() override;
    // The slot a group exports to (-1 none) and whether it owns it.
    std::int32_t exportSlotOf(int group) const noexcept { return mExportSlot[group]; }
    bool ownsExportSlot(int group) const noexcept { return mClaimed[group] != nullptr; }
    bool isClaimRetryPending() const noexcept { return mClaimRetryPending; }

    // --- queries (tests and diagnostics) ---
    // Frames waiting for the item; takes the frame lock.
    int queuedFrameCount(const CAudioVizItem* item);
    CAudioEnv* getEnv() const noexcept { return mEnv; }

private:
    struct CItemFrames {
        CAudioVizItem* item = nullptr;
        CArray<CAudioVizData*> frames;   // oldest first
    };
    // Keyed by the item's registration index, so replies list items in a stable order.
    struct CFrameMap : CPoolAllocated {
        CSortedMap<std::int32_t, CItemFrames> items;
        CFrameMap* nextSpare = nullptr;
    };
    // Frame maps circulate between the audio thread (filling one) and the reader (writing and
    // emptying one); emptied maps wait as spares with their room kept, so that the audio thread
    // never allocates a map or grows an item's list.
    static constexpr int kSpareFrameMaps = 2;
    // Main thread: the spare maps hold a list with room for the whole queue of the item.
    void prepareFrameMaps(const CAudioVizItem* item);
    // Deletes a taken map's frames and keeps the emptied map as a spare (or deletes it).
    void recycleFrames(CFrameMap* map) noexcept;

    // Listens to one of the export parameters. A change marks the export slot parameter changed
    // (for the audio thread) and has the slot names rebuilt once the changing thread's outermost
    // parameter update ends: the rebuild reads the other export parameters under their locks,
    // which a listener must not take while the changed parameter's lock is held.
    class CExportParamListener : public CAudioParamListener {
    public:
        CExportParamListener(CAudioVizCollector* owner, bool isSlotParam) : mOwner(owner), mIsSlotParam(isSlotParam) {}
        void onParamChange(const CAudioParamUpdateInfo& info) override;

    private:
        CAudioVizCollector* mOwner;
        bool mIsSlotParam;
    };
    // Runs the deferred rebuild of the slot names; one rebuild waits at a time.
    class CNamesRebuild : public CAudioParamDeferred {
    public:
        explicit CNamesRebuild(CAudioVizCollector* owner) : mOwner(owner) {}
        void request();
        void onDeferred(int key, double value) override;

    private:
        CAudioVizCollector* mOwner;
        std::atomic<bool> mPending{false};
    };
    enum { kExportSlotParam, kGroupNames, kInstanceName, kHostTrackName, kOption1, kOption2, kExportParamCount };
    using CSlotRequests = CArray<CAudioVizSlotRequest>;
    struct CSlotRequestMap : CPoolAllocated {
        CSortedMap<CString, CSlotRequests> names;
    };

    void queueItemRequest(CAudioVizItem* item, std::int32_t delta);
    void setupExport();
    void detachExportListeners();
    void updateExportRequests();
    bool changeSlotRequest(std::int32_t slot, const CString& name, std::int32_t delta);
    [[nodiscard]] CError* writeImportedFrames(COutputStream& out);
    [[nodiscard]] CError* writeSlotFrame(COutputStream& out, const CString& name, const CAudioVizData& frame);
    // The first value of a group of an export parameter (its default without values, 0 without
    // a definition), read under the parameter's lock.
    static double groupValue(CAudioParam* param, int group);
    // The export slot index of a parameter value: 1 to 48 name slots 0 to 47, anything else none.
    static std::int32_t slotOfValue(double value) noexcept;
    void setEnableParam(CAudioVizItem* item, bool on);
    CAudioParam* enableParamOf(CAudioVizItem* item);
    [[nodiscard]] CError* writeVizItem(COutputStream& out, const CItemFrames& entry);
    static void deleteFrames(CFrameMap* map) noexcept;
    static void deleteChain(CAudioVizData* first) noexcept;

    CAudioEnv* mEnv = nullptr;
    CAudioParamCollector* mParams = nullptr;
    const CAudioParamInfo* mEnableInfo = nullptr;
    CRequestList* mPending = nullptr;     // under the environment's processing lock

    CSpinLock mItemLock;
    CSortedMap<CString, CAudioVizItem> mItems;   // under mItemLock; entries live as long as this

    CSpinLock mFrameLock;
    CFrameMap* mFrames = nullptr;         // under mFrameLock
    CFrameMap* mSpareFrames = nullptr;    // under mFrameLock, linked through nextSpare

    // Export slots. The claims and slot indices belong to the audio thread.
    CAudioVizSlotManager* mSlotManager = nullptr;
    CNamesListener* mNamesListener = nullptr;
    CRecursiveMutex mWriteMutex;          // serialises the import part of writeVizData
    std::int32_t mNamesSeenByWriter = -1;      // under mWriteMutex
    std::int32_t mNamesSeenByClaims = -1;      // audio thread
    std::int32_t mExportSlot[CAudioVizItem::kGroups] = {-1, -1, -1, -1, -1, -1, -1, -1};
    CAudioVizSlot* mClaimed[CAudioVizItem::kGroups] = {};
    std::int32_t mClaimCount = 0;
    bool mExportParamsChanged = true;          // under the environment's processing lock
    std::int32_t mInstanceId = 0;
    bool mClaimRetryPending = false;
    CSpinLock mSlotRequestLock;
    CSlotRequestMap* mPendingSlotRequests = nullptr;   // under mSlotRequestLock
    CSortedMap<CString, CSlotRequests> mCurrentSlotRequests;   // under mWriteMutex
    CAudioParam* mExportParams[kExportParamCount] = {};
    CExportParamListener* mExportListeners[kExportParamCount] = {};
    CNamesRebuild mNamesRebuild{this};
};

} // namespace tal
