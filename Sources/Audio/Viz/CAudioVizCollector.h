#pragma once
#include "Audio/Viz/CAudioVizItem.h"
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Platform/CSpinLock.h"

#include <cstdint>

namespace tal {

class CAudioEnv;
class CAudioParamCollector;
class CAudioParamInfo;
class CAudioVizData;
class CError;
class COutputStream;

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
class CAudioVizCollector : public CObject {
public:
    static constexpr int kMaxQueuedFrames = 1024;

    // The pending request deltas, taken whole by the audio thread.
    struct CRequestList : CPoolAllocated {
        CArray<CAudioVizItemRequest> entries;
    };

    CAudioVizCollector() = default;
    ~CAudioVizCollector() override;

    // --- life cycle: main thread ---
    // Finds the shared "audio.param-enable-viz" definition and the environment (attribute "env").
    [[nodiscard]] CError* init() override;
    // The parameter collector whose "-enable" parameters this collector writes; the instance's
    // shell hands it in before init (it is not an object of the tree).
    void setParamCollector(CAudioParamCollector* params) noexcept { mParams = params; }
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
    void updateRequests(const CRequestList* pending);
    // Applies one delta to an item. group >= 0: the delta comes through the export slot of that
    // channel group.
    void applyItemRequest(CAudioVizItem* item, std::int32_t delta, std::int32_t group);
    // Hands over one finished frame (ownership passes). Frames of items nobody requests are
    // deleted at once.
    void postVizData(CAudioVizItem* item, CAudioVizData* frame);

    // --- the editor side: main thread ---
    // Writes the "viz-data" payload (visualisation time, one block per item with waiting frames,
    // end marker 0) and frees the frames written. requestedFrameRate becomes the rate producers
    // use from the next host block; a rate that is not a positive number is ignored.
    [[nodiscard]] CError* writeVizData(COutputStream& out, double requestedFrameRate);
    // Drops every waiting frame (processing stopped). Any thread that stops processing.
    void releaseExportSlots();

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
    };

    void queueItemRequest(CAudioVizItem* item, std::int32_t delta);
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
};

} // namespace tal
