#include "Audio/RegistryCreators.h"

#include "Audio/CAudioCCTable.h"
#include "Audio/CAudioExtParam.h"
#include "Audio/CAudioExtParamList.h"
#include "Audio/CAudioParamRegistry.h"

namespace tal {

namespace {

const CCreatorTableEntry kTable[] = {
    {"audio:cctable", &createObject<CAudioCCTable>, &CObject::initScheme},
    {"audio:ext-param", &createObject<CAudioExtParam>, &CObject::initScheme},
    {"audio:ext-param-list", &createObject<CAudioExtParamList>, &CObject::initScheme},
    {"audio:param-registry", &createObject<CAudioParamRegistry>, &CObject::initScheme},
    {"", nullptr, nullptr},
};

} // namespace

const CCreatorTableEntry* registryCreatorTable() {
    return kTable;
}

} // namespace tal
