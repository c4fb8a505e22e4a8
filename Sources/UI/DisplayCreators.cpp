#include "UI/DisplayCreators.h"

#include "UI/CFilterResponse.h"

namespace tal {

const CCreatorTableEntry kDisplayCreatorTable[] = {
    {"ui:filter-response", &CFilterResponse::create, &CFilterResponse::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
