#pragma once
#include "Core/CCheckedObject.h"

namespace tal {

class CAttrMap;
class CError;

// The poster of an event bridge: takes calls from any thread and has them run later, on the bridge's
// own thread, by the bridge's owning object (CObjectEventBridgeHandler::runBridgedCall).
class CObjectEventBridge : public CCheckedObject {
public:
    CObjectEventBridge() = default;
    CObjectEventBridge(const CObjectEventBridge&) = delete;
    CObjectEventBridge& operator=(const CObjectEventBridge&) = delete;

    // Any thread. Copies args at the call; the copy is run on the bridge's thread and freed after
    // the run. A bridge that is gone drops the copies unrun.
    [[nodiscard]] virtual CError* postEvent(const CAttrMap& args) = 0;
};

} // namespace tal
