#pragma once
#include "Core/CCheckedObject.h"

namespace tal {

class CAudioParamChangeList;
class CAudioParamUndoRecord;

// The master registry's routing hook (implemented by the plug-in wrapper): after a preset has been
// applied or the parameters reset, the channel routing is rebuilt for the host's channels while it
// is still an automatic one, inside the same undo step and change batch.
class CAudioRoutingInfoProvider : public CCheckedObject {
public:
    virtual void refreshRouting(CAudioParamUndoRecord* undo, CAudioParamChangeList* changes) = 0;
};

} // namespace tal
