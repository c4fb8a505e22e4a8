#pragma once

#include "Core/CCreatorRegistry.h"

namespace tal {

// Every creator table the product registers at start-up, ended by null: the tags its descriptions
// use. The plug-in and the tests that load the product's descriptions register the same list.
const CCreatorTableEntry* const* productCreatorTables();

} // namespace tal
