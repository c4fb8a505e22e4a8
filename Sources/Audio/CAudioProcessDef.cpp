#include "Audio/CAudioProcessDef.h"

#include "Audio/CAudioProcess.h"
#include "Audio/CAudioProcessBypassStateDef.h"
#include "Audio/CAudioProcessLinkDef.h"
#include "Audio/CAudioProcessLinkStateDef.h"
#include "Core/CError.h"

namespace tal {

CError* CAudioProcessDef::initChilds() {
    if (CError* err = CAudioProcessDefBase::initChilds())
        return traceError(err, getFullName());
    mAutoLinks = getBoolAttr("is-auto-links");
    for (int i = 0; i < childCount(); ++i) {
        CObject* c = child(i);
        if (auto* def = dynamic_cast<CAudioProcessDefBase*>(c))
            mSubProcesses.add(def);
        else if (auto* link = dynamic_cast<CAudioProcessLinkDef*>(c))
            mLinks.add(link);
        else if (auto* linkState = dynamic_cast<CAudioProcessLinkStateDef*>(c))
            mLinkStates.add(linkState);
        else if (auto* bypassState = dynamic_cast<CAudioProcessBypassStateDef*>(c))
            mBypassStates.add(bypassState);
    }
    return nullptr;
}

CAudioProcessBase* CAudioProcessDef::newProcess() {
    return new CAudioProcess;
}

} // namespace tal
