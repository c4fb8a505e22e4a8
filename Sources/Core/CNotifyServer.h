#pragma once
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CAttrMap;
class CError;
class CEventRegistry;

// The process-wide table of event registries by id, so that code holding only a registry id (the
// answer of a file dialog) can deliver into a tree that may be gone meanwhile.
class CNotifyServer {
public:
    CNotifyServer() = delete;

    // --- any thread ---
    // Delivers an event into the registry of that id, always through the listeners' bridges; does
    // nothing and returns null when no registry has that id any more. The table stays locked for the
    // whole dispatch, so the tree cannot go away under it.
    [[nodiscard]] static CError* dispatchEventById(std::int32_t registryId, const CString& sender, const CString& event,
                                                   CAttrMap* args);

    // --- used by CEventRegistry ---
    // Enters a new registry and returns its id (1 for the first of the process, never reused).
    static std::int32_t enter(CEventRegistry* registry);
    static void leave(std::int32_t registryId);

    // Makes the process-wide table of registries (empty, counter 0); the ordered start-up calls it
    // so that the table outlives every tree.
    static void initTable();
};

} // namespace tal
