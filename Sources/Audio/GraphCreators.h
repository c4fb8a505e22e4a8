#pragma once

#include "Core/CCreatorRegistry.h"

namespace tal {

// The creator table of the audio graph's description objects: "audio:audio-env",
// "audio:process-def", "audio:process-link" and "audio:process-bypass-state". Registered once at start-up
// (CCreatorRegistry::registerTable); ends with a null entry.
extern const CCreatorTableEntry kGraphCreatorTable[];

} // namespace tal
