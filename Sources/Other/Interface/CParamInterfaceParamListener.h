#pragma once
#include "Core/CCheckedObject.h"

namespace tal {

class CError;
class CInputStream;
struct CAudioParamChange;

// What an editor object implements to listen to an audio parameter through the interface client.
// Called on the editor's thread while the client processes replies.
class CParamInterfaceParamListener : public CCheckedObject {
public:
    // "update-param-info" arrived for the listener's handle: reads exactly the i32 has-info flag
    // and, when it is not 0, the parameter info record, and nothing more.
    [[nodiscard]] virtual CError* onParamInfo(CInputStream& reader) = 0;
    // A change of the parameter arrived (group 9999: format and default values).
    virtual void onParamUpdate(const CAudioParamChange& change) = 0;
};

} // namespace tal
