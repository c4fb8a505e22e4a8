#pragma once

#include "Core/CCreatorRegistry.h"

namespace tal {

// The creator table of the parameter definition and converter tags ("audio:param", "audio:cvt-..."),
// sorted by tag and ended by an entry without create function; registered at start-up.
const CCreatorTableEntry* audioParamCreatorTable();

} // namespace tal
