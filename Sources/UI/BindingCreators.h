#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The tags of the editor's parameter binding: "ui:param-bridge", "ui:ui-param" and
// "ui:ui-param-converter", and the lists and objects built on them. Ended by an entry with a null tag.
extern const CCreatorTableEntry kBindingCreatorTable[];

} // namespace tal
