#include "Audio/RegistryCreators.h"

#include "Audio/CAudioExtParam.h"
#include "Audio/CAudioExtParamList.h"

namespace tal {

namespace {

template <class T>
CObject* create() {
    return new T();
}

const CCreatorTableEntry kTable[] = {
    {"audio:ext-param", &create<CAudioExtParam>, &CObject::initScheme},
    {"audio:ext-param-list", &create<CAudioExtParamList>, &CObject::initScheme},
    {"", nullptr, nullptr},
};

} // namespace

const CCreatorTableEntry* registryCreatorTable() {
    return kTable;
}

} // namespace tal
