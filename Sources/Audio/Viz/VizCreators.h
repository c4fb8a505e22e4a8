#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The creator table of the visualisation objects: "audio:viz-collector". Registered once at
// start-up (CCreatorRegistry::registerTable); ends with a null entry.
extern const CCreatorTableEntry kVizCreatorTable[];

} // namespace tal
