#include "UI/DisplayCreators.h"

#include "UI/CFilterResponse.h"
#include "UI/CSpectrum.h"
#include "UI/CSpectrumContainer.h"

namespace tal {

const CCreatorTableEntry kDisplayCreatorTable[] = {
    {"ui:filter-response", &CFilterResponse::create, &CFilterResponse::initScheme},
    {"ui:spectrum", &CSpectrum::create, &CSpectrum::initScheme},
    {"ui:spectrum-container", &CSpectrumContainer::create, &CSpectrumContainer::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
