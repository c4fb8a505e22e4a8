#pragma once
#include "Audio/GraphCreators.h"
#include "Core/CCreatorRegistry.h"

namespace tal::test {

// Registers the graph's tags once per test program; true when they are registered.
inline bool registerGraphTags() {
    static const bool registered = CCreatorRegistry::instance().registerTable(kGraphCreatorTable) == 0;
    return registered;
}

} // namespace tal::test
