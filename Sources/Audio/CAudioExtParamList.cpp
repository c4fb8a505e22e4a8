#include "Audio/CAudioExtParamList.h"

#include "Audio/CAudioExtParam.h"

namespace tal {

CError* CAudioExtParamList::onChildAdded(CObject* child) {
    if (CAudioExtParam* param = dynamic_cast<CAudioExtParam*>(child)) mParams.add(param);
    return nullptr;
}

void CAudioExtParamList::removeChild(CObject* child) {
    if (CAudioExtParam* param = dynamic_cast<CAudioExtParam*>(child)) mParams.remove(param);
    CObject::removeChild(child);
}

} // namespace tal
