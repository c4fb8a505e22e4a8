#include "UI/Controls/SurfaceCreators.h"

#include "UI/Controls/CControlSurface.h"
#include "UI/Controls/CControlSurfaceLayer.h"

namespace tal {

const CCreatorTableEntry kSurfaceCreatorTable[] = {
    {"ui:control-surface", &CControlSurface::create, &CControlSurface::initScheme},
    {"ui:control-surface-layer", &CControlSurfaceLayer::create, &CControlSurfaceLayer::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
