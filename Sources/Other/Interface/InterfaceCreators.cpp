#include "Other/Interface/InterfaceCreators.h"

#include "Other/Interface/CAudioInterfaceBase.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"
#include "Other/Interface/CParamInterfaceClient.h"
#include "Other/Interface/CParamInterfaceClientConnectorUni.h"

namespace tal {

const CCreatorTableEntry kInterfaceCreatorTable[] = {
    {"audio:interface-base", &CAudioInterfaceBase::create, &CAudioInterfaceBase::initScheme},
    {"audio:interface-client", &CAudioInterfaceClient::create, &CAudioInterfaceClient::initScheme},
    {"other:param-interface-base-connector-uni", &CParamInterfaceBaseConnectorUni::create,
     &CParamInterfaceBaseConnectorUni::initScheme},
    {"other:param-interface-client-connector-uni", &CParamInterfaceClientConnectorUni::create,
     &CParamInterfaceClientConnectorUni::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
