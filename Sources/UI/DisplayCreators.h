#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the editor's displays that need no view: "ui:filter-response". Ended by an entry with
// a null tag.
extern const CCreatorTableEntry kDisplayCreatorTable[];

} // namespace tal
