#include "UI/PaletteCreators.h"

#include "UI/CDynamicColor.h"
#include "UI/CDynamicPalette.h"

namespace tal {

const CCreatorTableEntry kPaletteCreatorTable[] = {
    {"ui:dynamic-color", &CDynamicColor::create, &CDynamicColor::initScheme},
    {"ui:dynamic-palette", &CDynamicPalette::create, &CDynamicPalette::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
