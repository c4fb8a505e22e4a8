#include "Core/CObjectScheme.h"

namespace tal {

CAttrHandler& CObjectScheme::addAttrHandler(const CString& name) {
    auto* node = mAttrHandlers.findOrAdd(name);
    return node->value;
}

CEventHandler& CObjectScheme::addEventHandler(const CString& name) {
    auto* node = mEventHandlers.findOrAdd(name);
    return node->value;
}

} // namespace tal
