#pragma once

namespace tal {

class CAudioParamRegistry;

// A receiver of a registry's preset, program and name changes: called with the sender of the
// operation that caused them, on the thread that ran it, with the registry's preset lock held.
class CAudioParamRegistryListener {
public:
    virtual ~CAudioParamRegistryListener() = default;
    virtual void onRegistryUpdate(CAudioParamRegistry* registry, const void* sender) = 0;
};

} // namespace tal
