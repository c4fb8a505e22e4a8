#pragma once

#include "Core/CUpdateListener.h"
#include "Core/CUpdateRecord.h"

namespace tal {

class CAudioParamRegistry;

// A receiver of a registry's preset, program and name changes: an update listener of the
// registry's notifier (key 0), attached with CAudioParamRegistry::addListener. Called with the
// sender of the operation that caused them, on the thread that ran it, with the registry's preset
// lock and its notifier's lock held. A concrete subclass calls detach() (or
// CAudioParamRegistry::removeListener) first thing in its destructor.
class CAudioParamRegistryListener : public CUpdateListener {
public:
    ~CAudioParamRegistryListener() override { detach(); }
    void update(const CUpdateRecord* record) final {
        onRegistryUpdate(mRegistry, record != nullptr ? record->sender : nullptr);
    }
    virtual void onRegistryUpdate(CAudioParamRegistry* registry, const void* sender) = 0;

private:
    friend class CAudioParamRegistry;
    CAudioParamRegistry* mRegistry = nullptr;   // set when attached
};

} // namespace tal
