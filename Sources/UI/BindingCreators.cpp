#include "UI/BindingCreators.h"

#include "UI/CParamBridge.h"
#include "UI/CParamGroupSelector.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamConverter.h"
#include "UI/CValueList.h"

namespace tal {

const CCreatorTableEntry kBindingCreatorTable[] = {
    {"ui:param-bridge", &CParamBridge::create, &CParamBridge::initScheme},
    {"ui:ui-param", &CUIParam::create, &CUIParam::initScheme},
    {"ui:ui-param-converter", &CUIParamConverter::create, &CUIParamConverter::initScheme},
    {"ui:value-list-manual", &CValueList::create, &CValueList::initScheme},
    {"ui:param-group-selector", &CParamGroupSelector::create, &CParamGroupSelector::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
