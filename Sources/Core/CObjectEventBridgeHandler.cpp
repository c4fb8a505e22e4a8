#include "Core/CObjectEventBridgeHandler.h"

#include "Core/CError.h"
#include "Core/CEventRegistry.h"

namespace tal {

CError* CObjectEventBridgeHandler::runBridgedCall(CAttrMap& args) {
    // Looked up by id, not by full name: a full name can designate another object (the first
    // unnamed child "p." names its parent) or a newcomer that took the name since the post.
    CEventRegistry* registry = eventRegistry();
    CAttrValue* id = args.findValue("listener-id");
    if (registry == nullptr || id == nullptr || !id->convert(CAttrValue::kInt)) return nullptr;
    CObject* listener = registry->findObjectById(id->asInt());
    if (listener == nullptr) return nullptr;
    CAttrValue* proc = args.findValue("listener-proc");
    const CString handler = proc != nullptr ? proc->asText() : CString();
    if (CError* err = listener->runEvent(handler, &args)) return traceError(err, getFullName());
    return nullptr;
}

} // namespace tal
