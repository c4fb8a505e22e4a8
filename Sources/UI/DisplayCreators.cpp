#include "UI/DisplayCreators.h"

#include "UI/CFilterResponse.h"
#include "UI/CGraph.h"
#include "UI/CGraphLogLines.h"
#include "UI/CGraphSampleRate.h"
#include "UI/CSpectrum.h"
#include "UI/CSpectrumContainer.h"

namespace tal {

const CCreatorTableEntry kDisplayCreatorTable[] = {
    {"ui:filter-response", &CFilterResponse::create, &CFilterResponse::initScheme},
    {"ui:graph", &CGraph::create, &CGraph::initScheme},
    {"ui:graph-log-lines", &CGraphLogLines::create, &CGraphLogLines::initScheme},
    {"ui:graph-sample-rate", &CGraphSampleRate::create, &CGraphSampleRate::initScheme},
    {"ui:spectrum", &CSpectrum::create, &CSpectrum::initScheme},
    {"ui:spectrum-container", &CSpectrumContainer::create, &CSpectrumContainer::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
