#pragma once
#include "Core/CError.h"
#include "Core/CEventHandler.h"
#include "Core/CObject.h"
#include "Core/CObjectScheme.h"

namespace tal {

// The scheme entry of one protocol event: the handler calls the receiving class's virtual
// operation (so a subclass override is reached) and adds a trace line naming the receiver.
template <class T, CError* (T::*Operation)()>
CError* protocolEventThunk(CObject* object) {
    T* receiver = static_cast<T*>(object);
    return traceError((receiver->*Operation)(), receiver->getFullName());
}

template <class T, CError* (T::*Operation)()>
void addProtocolEvent(CObjectScheme* scheme, const char* eventName) {
    scheme->addEventHandler(CString(eventName)).plain = &protocolEventThunk<T, Operation>;
}

} // namespace tal
