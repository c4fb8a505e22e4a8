#include "UI/BindingCreators.h"

#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamConverter.h"

namespace tal {

const CCreatorTableEntry kBindingCreatorTable[] = {
    {"ui:param-bridge", &CParamBridge::create, &CParamBridge::initScheme},
    {"ui:ui-param", &CUIParam::create, &CUIParam::initScheme},
    {"ui:ui-param-converter", &CUIParamConverter::create, &CUIParamConverter::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
