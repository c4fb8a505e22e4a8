#include "Audio/Viz/VizCreators.h"

#include "Audio/Viz/CAudioVizCollector.h"

namespace tal {

namespace {

CObject* createVizCollector() { return new CAudioVizCollector; }

} // namespace

// The collector's attributes are read in its init; its scheme holds only the common event.
const CCreatorTableEntry kVizCreatorTable[] = {
    {"audio:viz-collector", &createVizCollector, &CObject::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
