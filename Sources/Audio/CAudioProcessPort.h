#pragma once
#include "Audio/CAudioChannelDesc.h"
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CAudioProcessBase;
class CAudioProcessConnection;

// An input port of a process: its input connections, and for composite processes the child links
// its blocks are forwarded to. After each evaluation of the inputs the format holds the port's
// channels in ascending channel index and the channel table points at the descriptor that carries
// each channel's block (a connection's channel record, or the format entry itself when several
// sources are combined). Owned by its process.
class CAudioProcessPort : public CPoolAllocated {
public:
    static constexpr int kMaxChannels = 16;

    // Where a composite's port forwards its blocks: a port of a child and the connection made there.
    struct CChildLink {
        CAudioProcessBase* child = nullptr;
        std::int32_t childPort = 0;
        CAudioProcessConnection* connection = nullptr;
    };

    explicit CAudioProcessPort(std::int32_t portKey) noexcept;
    CAudioProcessPort(const CAudioProcessPort&) = delete;
    CAudioProcessPort& operator=(const CAudioProcessPort&) = delete;
    ~CAudioProcessPort();   // deletes the connections

    // --- wiring ---
    // Deletes one of the port's connections; false when the port does not hold it.
    bool deleteConnection(CAudioProcessConnection* connection);
    bool hasSources() const noexcept { return !connections.isEmpty() || !childLinks.isEmpty(); }

    std::int32_t key;
    CArray<CAudioProcessConnection*> connections;   // owned, in the order they were added
    CArray<CChildLink> childLinks;
    CAudioChannelDesc* channelTable[kMaxChannels] = {};
    CAudioChannelDesc format[kMaxChannels];         // entries beyond channelCount have key -1
    std::int32_t channelCount = 0;
    std::int32_t formatCounter = 0;                 // raised on change, cleared once forwarded
};

} // namespace tal
