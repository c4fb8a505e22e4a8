#include "UI/DisplayCreators.h"

#include "UI/CFilterResponse.h"
#include "UI/CSpectrum.h"

namespace tal {

const CCreatorTableEntry kDisplayCreatorTable[] = {
    {"ui:filter-response", &CFilterResponse::create, &CFilterResponse::initScheme},
    {"ui:spectrum", &CSpectrum::create, &CSpectrum::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
