#include "Audio/Viz/VizCreators.h"

#include "Audio/Viz/CAudioVizCollector.h"

namespace tal {

// The collector's attributes are read in its init; its scheme holds only the common event.
const CCreatorTableEntry kVizCreatorTable[] = {
    {"audio:viz-collector", &createObject<CAudioVizCollector>, &CObject::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
