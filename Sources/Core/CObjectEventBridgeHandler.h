#pragma once
#include "Core/CObject.h"

namespace tal {

// An object that runs calls posted through its event bridge, on the bridge's thread. The editor's
// event-bridge object derives from it and carries the bridge (CObject::setEventBridge).
class CObjectEventBridgeHandler : public CObject {
public:
    CObjectEventBridgeHandler() = default;

    // --- the bridge's thread ---
    // Runs one posted call: the listener is found by its object id ("listener-id") in this tree's
    // event registry and its handler "listener-proc" runs with args. A listener that is gone (or a
    // call without an id) drops the call silently.
    [[nodiscard]] virtual CError* runBridgedCall(CAttrMap& args);
};

} // namespace tal
