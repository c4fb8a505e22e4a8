#pragma once

#include "Audio/CAudioParamListener.h"
#include "Core/CAppDataListener.h"
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"

#include <atomic>

namespace tal {

class CAppData;
class CAudioParam;
class CAudioParamCollector;

// Keeps group 0 element 0 of one parameter and an application-data item equal in both directions,
// so every instance of the process that shares the scope follows a change made in any of them.
// Floats are kept as the text of converter 0, strings as text items, raw blocks as 'adat' items.
// Owned by the collector.
//
// Deadlocks between instances are avoided by never touching the scope while a parameter lock is
// held: a parameter change only schedules the write, which runs when the collector's outermost
// update has ended; a write by another instance re-reads the item on the writing thread, which
// then holds no parameter lock of its own.
class CAudioParamSharedParam : public CPoolAllocated, public CAudioParamListener, public CAudioParamDeferred {
public:
    explicit CAudioParamSharedParam(CAudioParamCollector* collector);
    ~CAudioParamSharedParam() override;
    CAudioParamSharedParam(const CAudioParamSharedParam&) = delete;
    CAudioParamSharedParam& operator=(const CAudioParamSharedParam&) = delete;

    // --- life cycle: main thread ---
    // Takes the default text from the parameter's default row, reads the shared value and starts
    // listening on both sides.
    void init(const CString& paramName, CAppData* scope, const CString& dataName);

    // --- any thread ---
    // A change of the parameter (under its lock): schedules the write.
    void onParamChange(const CAudioParamUpdateInfo& info) override;
    // The scheduled write, after the update.
    void onDeferred(int key, double value) override;
    // Sets the parameter from the item (floats only when the text parses).
    void readShared();
    // Writes the parameter's group 0 element 0 to the item.
    void writeShared();

    CAudioParam* getParam() const { return mParam; }
    CAppData* getScope() const { return mScope; }
    const CString& getDataName() const { return mDataName; }

private:
    // Hears writes of the item; a write by anyone but the owner makes it read the item again.
    class CDataListener : public CAppDataListener<CAudioParamSharedParam> {
    public:
        using CAppDataListener<CAudioParamSharedParam>::CAppDataListener;
        ~CDataListener() override { detach(); }
        void update(const CUpdateRecord* record) override;
    };

    CDataListener mDataListener{this};
    CAudioParamCollector* mCollector = nullptr;
    CAudioParam* mParam = nullptr;
    CAppData* mScope = nullptr;
    CString mDataName;
    CString mDefaultText;
    std::atomic<bool> mWritePending{false};
};

} // namespace tal
