#pragma once

#include "Core/CCreatorRegistry.h"

namespace tal {

// The creator table of the filter designers: "audio:fltgen-bypass", "-lphp1", "-magnus", "-rbj",
// "-serial", "-serial-item", "-array" and "-array-item". Registered once at start-up
// (CCreatorRegistry::registerTable); ends with a null entry.
extern const CCreatorTableEntry kFilterCreatorTable[];

} // namespace tal
