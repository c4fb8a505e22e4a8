#pragma once
#include "Core/CMemoryReader.h"

#include <cstdint>
#include <initializer_list>
#include <mutex>

namespace tal {

class CError;
class CObject;

// The receiving part shared by both ends of the protocol: the object mutex under which messages
// run on the object, and the message reader from which its handlers read the payload of the
// message being delivered. The connectors deliver through runMessage.
class CParamInterfaceEndpoint {
public:
    CParamInterfaceEndpoint() = default;
    CParamInterfaceEndpoint(const CParamInterfaceEndpoint&) = delete;
    CParamInterfaceEndpoint& operator=(const CParamInterfaceEndpoint&) = delete;
    virtual ~CParamInterfaceEndpoint() = default;

    // Held while a message runs on the object; recursive.
    std::recursive_mutex& objectMutex() noexcept { return mObjectMutex; }
    // The payload of the message being delivered, positioned behind what was read so far; an empty
    // reader outside a delivery.
    CMemoryReader& messageReader() noexcept { return mReader != nullptr ? *mReader : mNoMessage; }

    // Runs one message on receiver (this endpoint's object) under the object mutex: reads the event
    // name and runs the scheme handler of that name. Returns the reader's or the handler's error
    // (an unknown name fails with the object's "Unknown event" error). The bytes are not owned and
    // are read in place.
    [[nodiscard]] CError* runMessage(CObject& receiver, const std::uint8_t* data, std::int32_t size);

    // Reads the 32-bit fields of a payload in order into values; stops at the first error.
    [[nodiscard]] static CError* readInts(CInputStream& in, std::initializer_list<std::int32_t*> values);

private:
    std::recursive_mutex mObjectMutex;
    CMemoryReader* mReader = nullptr;  // under mObjectMutex; the reader of the running delivery
    CMemoryReader mNoMessage{nullptr, 0};
};

} // namespace tal
