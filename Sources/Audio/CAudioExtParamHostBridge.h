#pragma once

#include "Audio/CAudioParamListener.h"

namespace tal {

// The host's end of the exported parameters: the plug-in binding implements it to tell the host
// that the value of exported parameter `index` changed for a reason other than the host itself.
// Called as a deferred call when the outermost collector update ends, so no parameter lock is held.
class CAudioExtParamHostBridge : public CAudioParamDeferred {
public:
    virtual void setHostParamValue(int index, double normalized) = 0;

    void onDeferred(int key, double value) final { setHostParamValue(key, value); }
};

} // namespace tal
