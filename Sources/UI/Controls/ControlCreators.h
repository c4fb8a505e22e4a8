#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the editor's controls.
extern const CCreatorTableEntry kControlCreatorTable[];

} // namespace tal
