#pragma once
#include "Core/CObject.h"
#include "Other/Interface/CParamInterfaceMessageQueue.h"
#include "Platform/CSpinLock.h"

#include <cstdint>
#include <mutex>

namespace tal {

class CByteBuffer;
class CError;
class CObjectScheme;
class CParamInterfaceClient;

// The editor's endpoint of the UI-audio protocol. Requests leave through sendToBase, which a
// transport implements; replies fetched from the audio side (pollBaseData) wait in the pending
// list and run on the client object in arrival order.
// Threads: the editor's thread; only the pending list is guarded (by a spin lock), so that a
// transport may push replies from another thread. The connector mutex guards the client object
// pointer and serialises the processing of replies; it is taken before the client's object mutex.
class CParamInterfaceClientConnector : public CObject {
public:
    static void initScheme(CObjectScheme* scheme);
    ~CParamInterfaceClientConnector() override;

    // Registers the handler "process-base-data" for the connector's own "process-base-data-proxy".
    [[nodiscard]] CError* init() override;

    // --- the transport ---
    // Sends one request; it has run on the audio side when the call returns. False when the audio
    // side reported an error (which is not logged).
    virtual bool sendToBase(CByteBuffer& message) = 0;
    // Fetches the waiting replies; nothing here.
    [[nodiscard]] virtual CError* pollBaseData();
    // Runs the pending replies on the client object, oldest first. A reply that fails is logged
    // and the next one runs. Error: no client object (the pending replies are deleted).
    [[nodiscard]] virtual CError* onProcessBaseData();

    // --- the client object ---
    // Stores the client object (not owned) and returns the client id.
    std::int32_t setClient(CParamInterfaceClient* client);
    void clearClient();
    // Appends a fetched reply (its bytes are taken over) and fires "process-base-data-proxy".
    void pushBaseData(CByteBuffer& message);

    // --- queries ---
    std::int32_t clientId() const noexcept { return mClientId; }

protected:
    std::int32_t mClientId = -1;

private:
    std::recursive_mutex mConnectorMutex;
    CParamInterfaceClient* mClient = nullptr;   // under mConnectorMutex
    CSpinLock mPendingLock;
    CParamInterfaceMessageQueue mPending;       // under mPendingLock
};

} // namespace tal
