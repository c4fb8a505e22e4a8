#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the editor's colours: "ui:dynamic-color" and "ui:dynamic-palette". Ended by an entry
// with a null tag.
extern const CCreatorTableEntry kPaletteCreatorTable[];

} // namespace tal
