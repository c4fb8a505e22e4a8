#pragma once

namespace tal {

class CEventRegistry;
class CObject;

// The event system's part of an object's life cycle. The event system installs one table at
// start-up with CObject::setEventHooks, before any tree with an event registry exists; until then
// (and for a missing entry) every tree behaves as a tree without event registry: object ids are -1,
// there are no registrations to drop and releaseBridged finds no bridge.
struct CObjectEventHooks {
    // Takes the next object id of a registry under the registry's id lock.
    int (*takeObjectId)(CEventRegistry& registry) = nullptr;
    // Destroys the registry of a root that is being destroyed.
    void (*destroyRegistry)(CEventRegistry* registry) = nullptr;
    // Drops every event registration of an object: the first step of releasing it.
    void (*unlistenAll)(CObject& object) = nullptr;
    // Posts "release-child-bridged" for the object to the nearest event bridge at or above its
    // parent; does nothing when there is none.
    void (*releaseBridged)(CObject& object) = nullptr;
};

} // namespace tal
