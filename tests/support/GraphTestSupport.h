#pragma once
#include "Audio/GraphCreators.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CString.h"

namespace tal::test {

// Registers the graph's tags once per test program; true when every one of them is registered
// (also when another suite registered the table first).
inline bool registerGraphTags() {
    static const bool registered = [] {
        CCreatorRegistry& registry = CCreatorRegistry::instance();
        registry.registerTable(kGraphCreatorTable);   // tags registered before are kept
        for (const CCreatorTableEntry* e = kGraphCreatorTable; e->create != nullptr; ++e)
            if (registry.find(CString(e->tag)) == nullptr)
                return false;
        return true;
    }();
    return registered;
}

} // namespace tal::test
