// The event operations of CObject: running handlers by name, firing, listening and posting through
// the event bridge, and the event system's hooks into the object life cycle.
#include "Core/CObject.h"

#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "Core/CObjectEventBridge.h"
#include "Core/CObjectEventHooks.h"
#include "Core/Log.h"

#include <cstdio>

namespace tal {

namespace {

int takeObjectIdHook(CEventRegistry& registry) { return registry.takeObjectId(); }

void destroyRegistryHook(CEventRegistry* registry) { delete registry; }

void unlistenAllHook(CObject& object) {
    object.unlistenAll();
    if (CEventRegistry* registry = object.eventRegistry()) registry->forgetObject(&object);
}

void releaseBridgedHook(CObject& object) {
    // The id goes with the name: by delivery time another object may bear the name, and the first
    // unnamed child's full name ("p.") designates its parent.
    CAttrMap args;
    args.findOrAdd("sender-id")->value.setInt(object.objectId());
    object.parent()->postBridgedEvent(object.getFullName(), CString("release-child-bridged"), args);
}

const CObjectEventHooks kEventHooks{&takeObjectIdHook, &destroyRegistryHook, &unlistenAllHook, &releaseBridgedHook};

} // namespace

void installEventHooks() {
    // Written only when it differs, so that trees made on several threads only read it.
    if (CObject::eventHooks() != &kEventHooks) CObject::setEventHooks(&kEventHooks);
}

// --- running ---

CError* CObject::runEvent(const CString& name, CAttrMap* args) {
    const auto* node = mSchemeEventHandlers != nullptr ? mSchemeEventHandlers->find(name) : nullptr;
    if (node == nullptr) return newError("@talstr_CObject_runEvent_UnknownEvent Unknown event '%1'.", getFullName(), name);
    const CEventHandler& h = node->value;
    CError* err = nullptr;
    if (h.hasArgs) {
        CAttrMap empty;
        if (h.withArgs != nullptr) err = h.withArgs(this, args != nullptr ? args : &empty);
    } else if (h.plain != nullptr) {
        err = h.plain(this);
    }
    if (err != nullptr) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::runEvent(const CString& name) {
    CAttrMap args;
    return runEvent(name, &args);
}

CError* CObject::fireEvent(const CString& name, CAttrMap* args, bool bridged) {
    if (mEventRegistry == nullptr) return nullptr;
    if (CError* err = mEventRegistry->dispatchEvent(getFullName(), name, args, bridged))
        return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::fireEvent(const CString& name, bool bridged) {
    if (mEventRegistry == nullptr) return nullptr;
    CAttrMap args;
    return fireEvent(name, &args, bridged);
}

// --- listening ---

void CObject::listenObject(const CString& sender, const CString& event, const CString& handler) {
    const auto* found = mSchemeEventHandlers != nullptr ? mSchemeEventHandlers->find(handler) : nullptr;
    if (found == nullptr) {
        char line[1024];
        std::snprintf(line, sizeof line, "Event handler '%s' not found in listenObject().", handler.narrowed().chars8());
        const CString fullName = getFullName().narrowed();
        if (fullName.isEmpty()) {
            writeLog(line, true);
        } else {
            char withName[1280];
            std::snprintf(withName, sizeof withName, "%s // %s", line, fullName.chars8());
            writeLog(withName, true);
        }
        return;
    }
    bool added = false;
    auto* eventNode = mListens.findOrAdd(sender)->value.findOrAdd(event, &added);
    if (!added) return;
    eventNode->value = found->value;
    if (mEventRegistry != nullptr) mEventRegistry->addListener(this, handler, sender, event, found->value);
}

void CObject::unlistenObject(const CString& sender, const CString& event) {
    auto* senderNode = mListens.find(sender);
    if (senderNode == nullptr || !senderNode->value.remove(event)) return;
    if (senderNode->value.isEmpty()) mListens.removeNode(senderNode);
    if (mEventRegistry != nullptr) mEventRegistry->removeListener(this, sender, event);
}

void CObject::unlistenAll() {
    for (auto* s = mListens.first(); s != nullptr; s = mListens.next(s)) {
        if (mEventRegistry != nullptr)
            for (auto* e = s->value.first(); e != nullptr; e = s->value.next(e))
                mEventRegistry->removeListener(this, s->key, e->key);
        s->value.clear();
    }
    mListens.clear();
}

// --- bridges ---

void CObject::postBridgedEvent(const CString& sender, const CString& handler, CAttrMap& args) {
    std::thread::id thread;
    CObjectEventBridge* bridge = nullptr;
    if (findEventBridge(thread, bridge) == nullptr) return;
    args.findOrAdd("sender")->value.setText(sender);
    args.findOrAdd("listener")->value.setText(getFullName());
    args.findOrAdd("listener-id")->value.setInt(mObjectId);
    args.findOrAdd("listener-proc")->value.setText(handler);
    if (mEventRegistry != nullptr) mEventRegistry->noteObject(this);
    reportError(bridge->postEvent(args));
}

CObject* CObject::findEventBridge(std::thread::id& thread, CObjectEventBridge*& bridge) const {
    for (const CObject* o = this; o != nullptr; o = o->mParent)
        if (!o->mNoBridge) {
            thread = o->mBridgeThread;
            bridge = o->mEventBridge;
            return const_cast<CObject*>(o);
        }
    return nullptr;
}

std::int32_t CObject::getEventRegistryId() const { return mEventRegistry != nullptr ? mEventRegistry->id() : 0; }

void CObject::setEventBridge(CObjectEventBridge* bridge, std::thread::id thread) noexcept {
    installEventHooks();
    mEventBridge = bridge;
    mBridgeThread = thread;
    mNoBridge = bridge == nullptr;
}

} // namespace tal
