#include "UI/BindingCreators.h"

#include "UI/CControlArray.h"
#include "UI/CDynListColorSwatch.h"
#include "UI/CDynListValueList.h"
#include "UI/CDynListWhatsNew.h"
#include "UI/CMinMax.h"
#include "UI/CParamBridge.h"
#include "UI/CParamGroupSelector.h"
#include "UI/CPluginControl.h"
#include "UI/CSampleRateMonitor.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamConverter.h"
#include "UI/CValueList.h"
#include "UI/CValueListAudio.h"
#include "UI/CVizExchange.h"
#include "UI/Controls/CParamGroupController.h"

namespace tal {

const CCreatorTableEntry kBindingCreatorTable[] = {
    {"ui:param-bridge", &CParamBridge::create, &CParamBridge::initScheme},
    {"ui:ui-param", &CUIParam::create, &CUIParam::initScheme},
    {"ui:ui-param-converter", &CUIParamConverter::create, &CUIParamConverter::initScheme},
    {"ui:value-list-manual", &CValueList::create, &CValueList::initScheme},
    {"ui:param-group-selector", &CParamGroupSelector::create, &CParamGroupSelector::initScheme},
    {"ui:value-list", &CValueListAudio::create, &CValueListAudio::initScheme},
    {"ui:param-group-controller", &CParamGroupController::create, &CParamGroupController::initScheme},
    {"ui:min-max", &CMinMax::create, &CMinMax::initScheme},
    {"ui:sample-rate-monitor", &CSampleRateMonitor::create, &CSampleRateMonitor::initScheme},
    {"ui:dynlist-value-list", &CDynListValueList::create, &CDynListValueList::initScheme},
    {"ui:dynlist-whats-new", &CDynListWhatsNew::create, &CDynListWhatsNew::initScheme},
    {"ui:dynlist-color-swatch", &CDynListColorSwatch::create, &CDynListColorSwatch::initScheme},
    {"ui:plugin-control", &CPluginControl::create, &CPluginControl::initScheme},
    {"ui:viz-exchange", &CVizExchange::create, &CVizExchange::initScheme},
    {"ui:control-array", &CControlArray::create, &CControlArray::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
