#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the UI-audio parameter interface: the in-process connectors and both protocol ends
// (CCreatorRegistry::registerTable); ends with a null entry.
extern const CCreatorTableEntry kInterfaceCreatorTable[];

} // namespace tal
