#include "UI/ViewCreators.h"

#include "UI/CWindowSharedData.h"

namespace tal {

const CCreatorTableEntry kViewCreatorTable[] = {
    {"ui:window-shared-data", &CWindowSharedData::create, &CWindowSharedData::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
