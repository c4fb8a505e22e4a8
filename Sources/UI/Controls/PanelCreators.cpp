#include "UI/Controls/PanelCreators.h"

#include "UI/Controls/CColorFill.h"
#include "UI/Controls/CFrame.h"
#include "UI/Controls/CFrameBand.h"
#include "UI/Controls/CGradientBase.h"
#include "UI/Controls/CPicture.h"
#include "UI/Controls/CSpotlightBase.h"

namespace tal {

const CCreatorTableEntry kPanelCreatorTable[] = {
    {"ui:color-fill", &CColorFill::create, &CView::initScheme},
    {"ui:frame-base", &CFrame::create, &CFrame::initScheme},
    {"ui:frame-band", &CFrameBand::create, &CFrame::initScheme},
    {"ui:picture", &CPicture::create, &CView::initScheme},
    {"ui:shadow", &CFrame::create, &CFrame::initScheme},
    {"ui:gradient-base", &CGradientBase::create, &CView::initScheme},
    {"ui:spotlight-base", &CSpotlightBase::create, &CView::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
