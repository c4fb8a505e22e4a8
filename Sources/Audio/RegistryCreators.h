#pragma once

#include "Core/CCreatorRegistry.h"

namespace tal {

// The creator table of the exported-parameter tags ("audio:ext-param", "audio:ext-param-list"),
// the registries and the controller table, sorted by tag and ended by an entry without create
// function; registered at start-up.
const CCreatorTableEntry* registryCreatorTable();

} // namespace tal
