#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/Log.h"

#include <cstdio>

namespace tal {

// Writes one log line formatted into at most 1023 characters.
template <class... A>
void logTargetLine(const char* format, A... args) {
    if constexpr (sizeof...(A) == 0) {
        writeLog(format, true);
    } else {
        char line[1024];
        std::snprintf(line, sizeof line, format, args...);
        writeLog(line, true);
    }
}

// A typed reference from an owner object to another object named by a path: fixed, or read from
// one of the owner's attributes at every use. Every resolve()/get() looks the path up afresh and
// accepts only an object of class T (for an interface class T, an object that also is a CObject);
// a change of the result runs the change event on the receiver. Event bindings (handlers of the
// owner bound to events of the designated object) are registered under the designated full name,
// so they hold before the object exists and survive its replacement.
// Not owning: the owner, the receiver and the target live on their own. No lock: the owner's thread.
template <class T>
class CTarget : public CCheckedObject, public CPoolAllocated {
public:
    CTarget() = default;
    CTarget(const CTarget&) = delete;
    CTarget& operator=(const CTarget&) = delete;
    ~CTarget() override { reset(); }

    // --- binding ---
    // Binds to owner; the bindings move from the previous path to the current one, then the change
    // event runs once (nothing is looked up: cachedTarget is null until the next resolve).
    void init(CObject* owner, const CString& fixedPath, const CString& changeEvent, CObject* eventReceiver,
              const CString& attrName) {
        this->attrName = attrName;
        this->changeEvent = changeEvent;
        this->eventReceiver = eventReceiver != nullptr ? eventReceiver : owner;
        isRequired = false;
        cachedTarget = nullptr;
        this->fixedPath = fixedPath;
        this->owner = owner;
        const CString path = getPath();
        absolutePath = owner->resolvePath(path);
        for (auto* b = bindings.first(); b != nullptr; b = bindings.next(b)) {
            if (!listenedPath.isEmpty()) owner->unlistenObject(owner->resolvePath(listenedPath), b->key);
            if (!path.isEmpty()) owner->listenObject(absolutePath, b->key, b->value);
        }
        listenedPath = path;
        notifyTargetChanged();
    }
    // Binds the owner's handler to an event of the designated object (one handler per event).
    void listenEvent(const CString& eventName, const CString& handlerName) {
        bindings.findOrAdd(eventName)->value = handlerName;
        const CString path = getPath();
        if (!path.isEmpty() && owner != nullptr) {
            absolutePath = owner->resolvePath(path);
            owner->listenObject(absolutePath, eventName, handlerName);
        }
        if (eventName.equals("view-area-update")) wantsViewAreaUpdates = true;
    }
    // Removes the bindings and unbinds; runs no event.
    void reset() {
        if (!absolutePath.isEmpty()) {
            for (auto* b = bindings.first(); b != nullptr; b = bindings.next(b))
                owner->unlistenObject(absolutePath, b->key);
            absolutePath = CString();
        }
        attrName = CString();
        changeEvent = CString();
        eventReceiver = nullptr;
        isRequired = false;
        cachedTarget = nullptr;
        bindings.clear();
        wantsViewAreaUpdates = false;
        fixedPath = CString();
        owner = nullptr;
    }

    // --- lookup: a full path lookup and class test at every call ---
    T* resolve() {
        if (owner == nullptr) {
            if (isRequired) logNotFound(fixedPath);
            return nullptr;
        }
        const CString path = getPath();
        T* found = accept(owner->findObject(path));
        if (found != cachedTarget) {
            cachedTarget = found;
            notifyTargetChanged();
        }
        if (isRequired && cachedTarget == nullptr) {
            logNotFound(path);
            logTargetLine("Owner: %s", owner->getFullName().narrowed().chars8());
        }
        return cachedTarget;
    }
    // resolve(), logging the null it returns.
    T* get() {
        if (T* t = resolve()) return t;
        logTargetLine("NULL pointer usage detected!");
        if (owner != nullptr) logTargetLine("Owner: %s", owner->getFullName().narrowed().chars8());
        logTargetLine("ObjectName: %s", getPath().narrowed().chars8());
        return nullptr;
    }
    // The owner's attribute attrName as text when there is an owner and a name, else fixedPath.
    CString getPath() const {
        if (owner != nullptr && !attrName.isEmpty()) {
            CAttrValue* v = owner->attrs().findValue(attrName);
            return v != nullptr ? v->asText() : CString();
        }
        return fixedPath;
    }
    // Runs the change event on the receiver and, when a binding of "view-area-update" exists,
    // "request-view-area-updates" on the target; errors are logged and dropped.
    void notifyTargetChanged() {
        if (!changeEvent.isEmpty() && eventReceiver != nullptr) runLogged(*eventReceiver, changeEvent);
        if (wantsViewAreaUpdates && cachedTarget != nullptr)
            if (CObject* object = dynamic_cast<CObject*>(cachedTarget))
                runLogged(*object, CString("request-view-area-updates"));
    }

    // --- state (the owner sets isRequired after init) ---
    CString attrName;
    CString changeEvent;
    CObject* eventReceiver = nullptr;
    bool isRequired = false;
    CString absolutePath;
    T* cachedTarget = nullptr;
    CSortedMap<CString, CString> bindings;
    bool wantsViewAreaUpdates = false;
    CString fixedPath;
    CString listenedPath;
    CObject* owner = nullptr;

private:
    static T* accept(CObject* object) {
        if constexpr (std::is_same_v<T, CObject>)
            return object;
        else
            return dynamic_cast<T*>(object);
    }
    static void runLogged(CObject& object, const CString& event) {
        reportError(object.runEvent(event));
    }
    void logNotFound(const CString& path) const {
        logTargetLine("Target object not found: %s (attr: %s)", path.narrowed().chars8(), attrName.narrowed().chars8());
    }
};

} // namespace tal
