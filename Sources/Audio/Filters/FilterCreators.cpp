#include "Audio/Filters/FilterCreators.h"

#include "Audio/Filters/CAudioFilterBypassGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterLPHP1Gen.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"

namespace tal {

// Every designer class's scheme holds only the common event "release-child-bridged".
const CCreatorTableEntry kFilterCreatorTable[] = {
    {"audio:fltgen-bypass", &createObject<CAudioFilterBypassGen>, &CObject::initScheme},
    {"audio:fltgen-lphp1", &createObject<CAudioFilterLPHP1Gen>, &CObject::initScheme},
    {"audio:fltgen-magnus", &createObject<CAudioFilterMagnusGen>, &CObject::initScheme},
    {"audio:fltgen-rbj", &createObject<CAudioFilterRBJGen>, &CObject::initScheme},
    {"audio:fltgen-serial", &createObject<CAudioFilterSerialGen>, &CObject::initScheme},
    {"audio:fltgen-serial-item", &createObject<CAudioFilterSerialGenItem>, &CObject::initScheme},
    {"audio:fltgen-array", &createObject<CAudioFilterGenArray>, &CObject::initScheme},
    {"audio:fltgen-array-item", &createObject<CAudioFilterGenArrayItem>, &CObject::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
