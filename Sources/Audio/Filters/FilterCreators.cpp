#include "Audio/Filters/FilterCreators.h"

#include "Audio/Filters/CAudioFilterBypassGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterLPHP1Gen.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"

namespace tal {

namespace {

template <class T>
CObject* create() {
    return new T;
}

} // namespace

// Every designer class's scheme holds only the common event "release-child-bridged".
const CCreatorTableEntry kFilterCreatorTable[] = {
    {"audio:fltgen-bypass", &create<CAudioFilterBypassGen>, &CObject::initScheme},
    {"audio:fltgen-lphp1", &create<CAudioFilterLPHP1Gen>, &CObject::initScheme},
    {"audio:fltgen-magnus", &create<CAudioFilterMagnusGen>, &CObject::initScheme},
    {"audio:fltgen-rbj", &create<CAudioFilterRBJGen>, &CObject::initScheme},
    {"audio:fltgen-serial", &create<CAudioFilterSerialGen>, &CObject::initScheme},
    {"audio:fltgen-serial-item", &create<CAudioFilterSerialGenItem>, &CObject::initScheme},
    {"audio:fltgen-array", &create<CAudioFilterGenArray>, &CObject::initScheme},
    {"audio:fltgen-array-item", &create<CAudioFilterGenArrayItem>, &CObject::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
