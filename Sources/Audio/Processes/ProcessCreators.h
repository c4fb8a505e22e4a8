#pragma once

#include "Core/CCreatorRegistry.h"

namespace tal {

// The creator table of the module tags: "audio:modBypass", "audio:modFilterIIR", "audio:modGain",
// "audio:modMSCoder", "audio:modNode" and "audio:modOutput". Registered once at start-up
// (CCreatorRegistry::registerTable); ends with a null entry.
extern const CCreatorTableEntry kProcessCreatorTable[];

} // namespace tal

namespace tal {

// Start-up: lets process definitions make multiband and stacked processes.
void installProcessFactories() noexcept;

} // namespace tal
