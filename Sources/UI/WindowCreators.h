#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the editor's window layer: timers, the window renderer.
extern const CCreatorTableEntry kWindowCreatorTable[];

} // namespace tal
