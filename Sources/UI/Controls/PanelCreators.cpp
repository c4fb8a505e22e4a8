#include "UI/Controls/PanelCreators.h"

#include "UI/Controls/CGradientBase.h"
#include "UI/Controls/CSpotlightBase.h"

namespace tal {

const CCreatorTableEntry kPanelCreatorTable[] = {
    {"ui:gradient-base", &CGradientBase::create, &CView::initScheme},
    {"ui:spotlight-base", &CSpotlightBase::create, &CView::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
