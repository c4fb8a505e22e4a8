#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the editor's resources: image sets ("imageset") and font families ("font")
// (CCreatorRegistry::registerTable); ends with a null entry.
extern const CCreatorTableEntry kResourceCreatorTable[];

} // namespace tal
