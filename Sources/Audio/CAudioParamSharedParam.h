#pragma once

#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamSharedScope.h"
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"

#include <atomic>

namespace tal {

class CAudioParam;
class CAudioParamCollector;

// Keeps group 0 element 0 of one parameter and an application-data item equal in both directions,
// so every instance of the process that shares the scope follows a change made in any of them.
// Owned by the collector.
//
// Deadlocks between instances are avoided by never touching the scope while a parameter lock is
// held: a parameter change only schedules the write, which runs when the collector's outermost
// update has ended; a write by another instance re-reads the item on the writing thread, which
// then holds no parameter lock of its own.
class CAudioParamSharedParam : public CPoolAllocated,
                               public CAudioParamListener,
                               public CAudioParamDeferred,
                               public CAudioParamSharedScope::Listener {
public:
    explicit CAudioParamSharedParam(CAudioParamCollector* collector);
    ~CAudioParamSharedParam() override;
    CAudioParamSharedParam(const CAudioParamSharedParam&) = delete;
    CAudioParamSharedParam& operator=(const CAudioParamSharedParam&) = delete;

    // --- life cycle: main thread ---
    // Takes the default text from the parameter's default row, reads the shared value and starts
    // listening on both sides.
    void init(const CString& paramName, CAudioParamSharedScope* scope, const CString& dataName);

    // --- any thread ---
    // A change of the parameter (under its lock): schedules the write.
    void onParamChange(const CAudioParamUpdateInfo& info) override;
    // The scheduled write, after the update.
    void onDeferred(int key, double value) override;
    // A write of the item by another instance: read it again.
    void onSharedDataChanged(const CString& name, const void* sender) override;
    // Sets the parameter from the item (floats only when the text parses).
    void readShared();
    // Writes the parameter's group 0 element 0 to the item.
    void writeShared();

    CAudioParam* getParam() const { return mParam; }

private:
    CAudioParamCollector* mCollector = nullptr;
    CAudioParam* mParam = nullptr;
    CAudioParamSharedScope* mScope = nullptr;
    CString mDataName;
    CString mDefaultText;
    std::atomic<bool> mWritePending{false};
};

} // namespace tal
