#pragma once
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// One entry of an embedded resource table: a blob (u32 little-endian payload length, then the
// payload) and its name. A table ends with an entry whose blob is null. Tables are constant data
// of the program, made by "delmaro-tool pack table" through the build.
struct CResourceEntry {
    const std::uint8_t* blob;
    const char* name;
};

// The process-wide index of embedded resources: name (exact, case-sensitive) to payload.
// Filled at start-up, before any instance or editor exists; read without a lock afterwards from any
// thread. The payloads are never copied.
class CResourceMap {
public:
    CResourceMap() = delete;

    struct CPayload {
        const std::uint8_t* data = nullptr;
        std::int32_t size = 0;
    };

    // Adds every entry of table, in order; a name already present takes the later payload.
    // Start-up only.
    static void indexTable(const CResourceEntry* table);
    // The payload of name, or null when no such resource is embedded.
    static const CPayload* find(const CString& name) noexcept;
    // Forgets every resource. Process exit and tests only.
    static void clear() noexcept;
};

} // namespace tal
