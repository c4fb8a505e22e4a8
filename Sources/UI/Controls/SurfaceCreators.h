#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the curve editor: "ui:control-surface-layer". Ended by an entry with a null tag.
extern const CCreatorTableEntry kSurfaceCreatorTable[];

} // namespace tal
