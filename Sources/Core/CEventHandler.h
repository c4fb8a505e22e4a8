#pragma once

namespace tal {

class CAttrMap;
class CError;
class CObject;

// The entry of one event name in a class's scheme: exactly one of the two functions is set, and the
// flag says which one runs. The functions are small forwarders to a virtual operation of the class.
struct CEventHandler {
    CError* (*plain)(CObject* object) = nullptr;
    CError* (*withArgs)(CObject* object, CAttrMap* args) = nullptr;
    bool hasArgs = false;
};

} // namespace tal
