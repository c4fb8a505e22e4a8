#pragma once
#include "Core/CAttrValue.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

namespace tal {

// The attribute set of a CObject and the argument map of every event: attribute name to value,
// ordered by compareStrings. Owns its nodes (name and value together). No lock: one thread at a time.
class CAttrMap : public CSortedMap<CString, CAttrValue> {
public:
    using Node = CSortedMap<CString, CAttrValue>::Node;

    CAttrMap() = default;
    CAttrMap(const CAttrMap&) = delete;
    CAttrMap& operator=(const CAttrMap&) = delete;

    // --- lookup: never adds ---
    using CSortedMap<CString, CAttrValue>::find;
    Node* find(const char* name) const;
    // The value of a name, or null.
    CAttrValue* findValue(const CString& name) const;
    CAttrValue* findValue(const char* name) const;

    // --- find or add: a new value has type none and flags 0 ---
    using CSortedMap<CString, CAttrValue>::findOrAdd;
    Node* findOrAdd(const char* name);
};

} // namespace tal
