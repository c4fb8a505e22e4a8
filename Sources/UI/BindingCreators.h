#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the editor's parameter binding: "ui:param-bridge", "ui:ui-param" and
// "ui:ui-param-converter". Ended by an entry with a null tag.
extern const CCreatorTableEntry kBindingCreatorTable[];

} // namespace tal
