#pragma once

#include "Audio/CAudioParamUndoSnapshot.h"
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"

#include <cstdint>

namespace tal {

// What one undo step holds for one parameter: one snapshot per group it touched, in the order of
// first touch, and the set of touched (element x 256 + group) keys that the interface base fills
// and reads to end the host's edit gestures (their values are its business). Owns its snapshots.
class CAudioParamUndoEntry : public CPoolAllocated {
public:
    using TouchedSet = CSortedMap<std::int32_t, std::int32_t>;

    CAudioParamUndoEntry() = default;
    ~CAudioParamUndoEntry();
    CAudioParamUndoEntry(const CAudioParamUndoEntry&) = delete;
    CAudioParamUndoEntry& operator=(const CAudioParamUndoEntry&) = delete;

    // The snapshot of a group, or null.
    CAudioParamUndoSnapshot* findSnapshot(int group) const;
    void addSnapshot(CAudioParamUndoSnapshot* snapshot) { mSnapshots.add(snapshot); }
    int snapshotCount() const { return mSnapshots.count(); }
    CAudioParamUndoSnapshot* snapshot(int i) const { return mSnapshots[i]; }
    TouchedSet& touched() { return mTouched; }
    const TouchedSet& touched() const { return mTouched; }
    // A deep copy: snapshots, their tables and the touched set.
    CAudioParamUndoEntry* clone() const;

private:
    CArray<CAudioParamUndoSnapshot*> mSnapshots;  // owned
    TouchedSet mTouched;
};

} // namespace tal
