#pragma once
#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CObjectScheme.h"

namespace tal {

// Scheme entries that forward an attribute handler or an event to a member operation of the class
// T, adding the object's trace line to an error. The name is read only for an error: an operation
// may release its object (a timer's last tick), and building it for every call costs a string.

inline CError* traceObjectError(CError* error, CObject* object) {
    return error != nullptr ? traceError(error, object->getFullName()) : nullptr;
}

template <class T, CError* (T::*Operation)()>
CError* attrThunkOf(CObject* object, CAttrValue*) {
    return traceObjectError((static_cast<T*>(object)->*Operation)(), object);
}

template <class T, CError* (T::*Operation)()>
CError* plainEventThunkOf(CObject* object) {
    return traceObjectError((static_cast<T*>(object)->*Operation)(), object);
}

template <class T, CError* (T::*Operation)(CAttrMap&)>
CError* argsEventThunkOf(CObject* object, CAttrMap* args) {
    return traceObjectError((static_cast<T*>(object)->*Operation)(*args), object);
}

template <class T, CError* (T::*Operation)()>
void addAttrOf(CObjectScheme* scheme, const char* name) {
    scheme->addAttrHandler(CString(name)) = &attrThunkOf<T, Operation>;
}

template <class T, CError* (T::*Operation)()>
void addPlainEventOf(CObjectScheme* scheme, const char* name) {
    CEventHandler& handler = scheme->addEventHandler(CString(name));
    handler.plain = &plainEventThunkOf<T, Operation>;
    handler.hasArgs = false;
}

template <class T, CError* (T::*Operation)(CAttrMap&)>
void addArgsEventOf(CObjectScheme* scheme, const char* name) {
    CEventHandler& handler = scheme->addEventHandler(CString(name));
    handler.withArgs = &argsEventThunkOf<T, Operation>;
    handler.hasArgs = true;
}

// An attribute handler that receives the attribute's new value (an empty value when there is none).
template <class T, CError* (T::*Operation)(CAttrValue&)>
CError* valueAttrThunkOf(CObject* object, CAttrValue* value) {
    CAttrValue none;
    return traceError((static_cast<T*>(object)->*Operation)(value != nullptr ? *value : none), object->getFullName());
}

template <class T, CError* (T::*Operation)(CAttrValue&)>
void addValueAttrOf(CObjectScheme* scheme, const char* name) {
    scheme->addAttrHandler(CString(name)) = &valueAttrThunkOf<T, Operation>;
}

} // namespace tal
