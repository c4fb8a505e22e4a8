#pragma once

namespace tal {

// The polymorphic root of the framework's classes: only a virtual destructor, so that any object
// can be destroyed through a base pointer and tested for its class.
class CCheckedObject {
public:
    CCheckedObject() = default;
    virtual ~CCheckedObject() = default;
};

} // namespace tal
