#include "Audio/GraphCreators.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioProcessBypassStateDef.h"
#include "Audio/CAudioProcessLinkDef.h"

namespace tal {

namespace {

template <class T>
CObject* create() {
    return new T;
}

} // namespace

// Each scheme holds only the common event "release-child-bridged".
const CCreatorTableEntry kGraphCreatorTable[] = {
    {"audio:audio-env", &create<CAudioEnv>, &CObject::initScheme},
    {"audio:process-link", &create<CAudioProcessLinkDef>, &CObject::initScheme},
    {"audio:process-bypass-state", &create<CAudioProcessBypassStateDef>, &CObject::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
