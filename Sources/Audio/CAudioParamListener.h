#pragma once

#include "Audio/CAudioParamContext.h"
#include "Core/CUpdateListener.h"
#include "Core/CUpdateRecord.h"

namespace tal {

class CAudioParam;
class CAudioParamLock;
struct CAudioParamChange;

// The record a parameter hands to its listeners after each change: the change's sender (also
// CUpdateRecord::sender; key 0), the parameter, the change, the change path's lock holder and its
// change context. Valid only during the call.
struct CAudioParamUpdateInfo : CUpdateRecord {
    CAudioParam* param = nullptr;
    const CAudioParamChange* change = nullptr;
    CAudioParamLock* holder = nullptr;
    CAudioParamContext context;
};

// A receiver of one parameter's changes: an update listener of the parameter (its notifier),
// attached with CAudioParam::addListener. Called synchronously on the changing thread under the
// parameter's lock and its notifier's lock: it must not take a lock that is ordered before
// parameter locks (a registry's preset lock) nor another parameter's lock; such work goes through
// CAudioParamCollector::deferNotify and runs after the update. A concrete subclass calls detach()
// (or CAudioParam::removeListener) first thing in its destructor.
class CAudioParamListener : public CUpdateListener {
public:
    ~CAudioParamListener() override { detach(); }
    void update(const CUpdateRecord* record) final {
        if (record != nullptr) onParamChange(*static_cast<const CAudioParamUpdateInfo*>(record));
    }
    virtual void onParamChange(const CAudioParamUpdateInfo& info) = 0;
};

// The target of a deferred call: runs when the outermost collector update ends, with no
// parameter lock held by the update.
class CAudioParamDeferred {
public:
    virtual ~CAudioParamDeferred() = default;
    virtual void onDeferred(int key, double value) = 0;
};

} // namespace tal
