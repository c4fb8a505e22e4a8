#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the editor's view layer and the objects it needs beside the views.
extern const CCreatorTableEntry kViewCreatorTable[];

} // namespace tal
