#include "Audio/GraphCreators.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioProcessBypassStateDef.h"
#include "Audio/CAudioProcessDef.h"
#include "Audio/CAudioProcessLinkDef.h"

namespace tal {

// Each scheme holds only the common event "release-child-bridged".
const CCreatorTableEntry kGraphCreatorTable[] = {
    {"audio:audio-env", &createObject<CAudioEnv>, &CObject::initScheme},
    {"audio:process-def", &createObject<CAudioProcessDef>, &CObject::initScheme},
    {"audio:process-link", &createObject<CAudioProcessLinkDef>, &CObject::initScheme},
    {"audio:process-bypass-state", &createObject<CAudioProcessBypassStateDef>, &CObject::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
