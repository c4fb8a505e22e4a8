#pragma once
#include "Core/CCreatorRegistry.h"

namespace tal {

// The creators of the panel views: frames, pictures, colour fills, frame bands, gradients and
// spotlights.
extern const CCreatorTableEntry kPanelCreatorTable[];

} // namespace tal
