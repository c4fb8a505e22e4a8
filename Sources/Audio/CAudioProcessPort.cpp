#include "Audio/CAudioProcessPort.h"

#include "Audio/CAudioProcessConnection.h"

namespace tal {

CAudioProcessPort::CAudioProcessPort(std::int32_t portKey) noexcept : key(portKey) {}

CAudioProcessPort::~CAudioProcessPort() {
    for (int i = 0; i < connections.count(); ++i)
        delete connections[i];
}

bool CAudioProcessPort::deleteConnection(CAudioProcessConnection* connection) {
    if (!connections.remove(connection))
        return false;
    delete connection;
    return true;
}

} // namespace tal
