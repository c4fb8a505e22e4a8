#pragma once
#include "Core/CAttrValue.h"
#include "Core/CEventHandler.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

namespace tal {

using CAttrHandlerMap = CSortedMap<CString, CAttrHandler>;
using CEventHandlerMap = CSortedMap<CString, CEventHandler>;

// The attribute handlers and event handlers of one registered tag's class. Made and filled once at
// start-up by the class's scheme-init function, owned by the creator registry's scheme list, then
// only read (from any thread, without a lock) by every object of the tag.
class CObjectScheme : public CPoolAllocated {
public:
    CObjectScheme() = default;
    CObjectScheme(const CObjectScheme&) = delete;
    CObjectScheme& operator=(const CObjectScheme&) = delete;

    // --- building (start-up only) ---
    // The entry of an attribute name, added with no handler when absent; a class that registers an
    // inherited name again replaces the inherited handler.
    CAttrHandler& addAttrHandler(const CString& name);
    // The entry of an event name, added empty when absent; the caller sets all three fields.
    CEventHandler& addEventHandler(const CString& name);

    // --- queries ---
    const CAttrHandlerMap& attrHandlers() const noexcept { return mAttrHandlers; }
    const CEventHandlerMap& eventHandlers() const noexcept { return mEventHandlers; }

private:
    CAttrHandlerMap mAttrHandlers;
    CEventHandlerMap mEventHandlers;
};

} // namespace tal
