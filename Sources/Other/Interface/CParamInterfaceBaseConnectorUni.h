#pragma once
#include "Core/CSortedMap.h"
#include "Other/Interface/CParamInterfaceBaseConnector.h"
#include "Other/Interface/CParamInterfaceMessageQueue.h"
#include "Platform/CSpinLock.h"

#include <cstdint>

namespace tal {

class CObjectScheme;
class CParamInterfaceClientConnectorUni;

// The in-process base connector ("other:param-interface-base-connector-uni"): editors of the same
// process register their client connectors here and get a client id (0, 1, 2, ... never reused);
// replies wait in one queue per client until the editor's timer takes them.
// Threads: replies are queued from any thread (the audio thread among them); registration and
// taking happen on the editor's thread. The queue lock is a spin lock held for pointer swaps (and
// the client map edits of registration): message nodes and copies are made and freed outside it,
// so queueing never waits for an editor.
// A queue holds at most kMaxQueuedReplies messages: an editor that stops fetching (its timer no
// longer runs) while parameters keep changing would otherwise grow memory without limit. When a
// queue is full its oldest message is dropped; the editor's thread logs how many were dropped the
// next time it takes data or leaves (never the thread that queues, which may be the audio thread).
class CParamInterfaceBaseConnectorUni : public CParamInterfaceBaseConnector {
public:
    static constexpr std::int32_t kMaxQueuedReplies = 16384;

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CParamInterfaceBaseConnectorUni() override;

    // --- CParamInterfaceBaseConnector ---
    // -1 reaches every client registered at that moment (ascending ids; all but the last get a copy),
    // as one step with respect to registration. An empty message is never queued.
    void sendToClient(std::int32_t clientId, CByteBuffer& message) override;

    // --- clients (editor thread) ---
    // The next client id; the client is not owned.
    std::int32_t registerClient(CParamInterfaceClientConnectorUni* client);
    // Forgets the client and deletes its queue with every message in it; then tells the base object.
    void unregisterClient(std::int32_t clientId);
    // Frees what out held; then moves the oldest queued message of the client into out. False (out
    // empty) when none waits.
    bool takeBaseData(std::int32_t clientId, CByteBuffer& out);
    // The byte size of the oldest queued message of the client; 0 when none waits.
    std::int32_t getBaseDataSize(std::int32_t clientId);

    // --- queries ---
    // Messages waiting for the client; 0 for an unknown client.
    std::int32_t queuedCount(std::int32_t clientId);
    // Messages of the client dropped from its full queue and not yet logged; 0 for an unknown client.
    std::int32_t droppedCount(std::int32_t clientId);
    std::int32_t clientCount();

private:
    struct CClientSlot {
        CParamInterfaceClientConnectorUni* client = nullptr;
        CParamInterfaceMessageQueue queue;
        std::int32_t dropped = 0;   // dropped from the full queue since the last log line
    };

    // Appends a node to a client's queue, the lock held; a full queue gives its oldest node to
    // the caller, who frees it outside the lock. Null when nothing was dropped.
    static CParamInterfaceMessageQueue::Node* pushBounded(CClientSlot& slot, CParamInterfaceMessageQueue::Node* node) noexcept;
    // Logs the count of dropped replies of a client (not under the lock).
    static void logDropped(std::int32_t clientId, std::int32_t dropped);

    CSpinLock mQueueLock;
    std::int32_t mClientCounter = -1;                    // under mQueueLock
    std::uint32_t mGeneration = 0;                       // under mQueueLock; changes with the client set
    CSortedMap<std::int32_t, CClientSlot> mClients;      // under mQueueLock
};

} // namespace tal
