#pragma once
#include "Core/CObject.h"

#include <cstdint>
#include <mutex>

namespace tal {

class CByteBuffer;
class CError;
class CParamInterfaceBase;

// The audio side's endpoint of the UI-audio protocol. Requests of the editors arrive through
// processClientData and run on the base object; replies leave through sendToClient, which a
// transport implements. Owned by the audio instance's tree.
// Locks: the connector mutex guards the base object pointer and serialises every delivery to the
// base; it is taken before the base's own mutexes.
class CParamInterfaceBaseConnector : public CObject {
public:
    // --- replies: any thread ---
    // Delivers message to one client, or with -1 to every registered client. A queued message's
    // bytes are taken over (message is left empty); one that reaches no client stays with the caller.
    virtual void sendToClient(std::int32_t clientId, CByteBuffer& message) = 0;

    // --- requests: the requesting thread ---
    // Runs one client message on the base object under the connector mutex and the base's object
    // mutex. Errors: no base object, an unreadable event name, an unknown event, the handler's.
    [[nodiscard]] virtual CError* processClientData(const std::uint8_t* data, std::int32_t size);

    // --- the base object ---
    // Stores or clears the base object (not owned) under the connector mutex.
    void setBase(CParamInterfaceBase* base);
    // Tells the base object that a client has gone away (under the connector mutex).
    void notifyClientGone(std::int32_t clientId);
    // Lets the base object queue the messages posted for the clients (editor thread, under the
    // connector mutex); called before an editor fetches its replies.
    void sendPostedMessages();

protected:
    std::recursive_mutex mConnectorMutex;
    CParamInterfaceBase* mBase = nullptr;  // under mConnectorMutex
};

} // namespace tal
