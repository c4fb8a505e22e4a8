#pragma once

#include "Audio/CAudioParamContext.h"

namespace tal {

class CAudioParam;
class CAudioParamLock;
struct CAudioParamChange;

// The record handed to the listeners of a parameter after each change.
struct CAudioParamUpdateInfo {
    const void* sender = nullptr;
    CAudioParam* param = nullptr;
    const CAudioParamChange* change = nullptr;
    CAudioParamLock* holder = nullptr;
    CAudioParamContext context;
};

// A receiver of a parameter's changes. Called synchronously on the changing thread under the
// parameter's lock: it must not take a lock that is ordered before parameter locks (a registry's
// preset lock); such work goes through CAudioParamCollector::deferNotify and runs after the update.
class CAudioParamListener {
public:
    virtual ~CAudioParamListener() = default;
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
