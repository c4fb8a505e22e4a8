#pragma once

#include "Audio/CAudioParamUndoEntry.h"
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CAudioParamCollector;
class CAudioParamStorage;

// One undo step: for every parameter the step changed (by full name, in the framework's string
// order), the values of every group it touched before the step's first change and after its last.
// The change path fills it; the history merges, replays and finally deletes it. No lock of its own:
// captures run under the changed parameter's lock, merging and replay under the history's lock.
class CAudioParamUndoRecord : public CPoolAllocated {
public:
    using EntryMap = CSortedMap<CString, CAudioParamUndoEntry*>;

    explicit CAudioParamUndoRecord(const CString& name, bool mergeable = false, std::int32_t mergeKey = -1);
    ~CAudioParamUndoRecord();
    CAudioParamUndoRecord(const CAudioParamUndoRecord&) = delete;
    CAudioParamUndoRecord& operator=(const CAudioParamUndoRecord&) = delete;

    // --- building ---
    // Renames the step (an editor may name it when it submits the record).
    void setName(const CString& name) { mName = name; }
    // The entry of a parameter, created when missing.
    CAudioParamUndoEntry* acquireEntry(const CString& paramName);
    // Makes the group's snapshot with its before values unless the entry already has one: the first
    // capture of a group wins. empty records the group as holding no elements.
    void captureBefore(const CString& paramName, int group, const CAudioParamStorage& storage, bool empty);
    // Replaces the after values of the group's existing snapshot; nothing without a snapshot or when
    // the storage's layout is no longer the snapshot's.
    void captureAfter(const CString& paramName, int group, const CAudioParamStorage& storage, bool empty);
    // Called on the older of two records of one gesture: takes the newer record's after values when
    // both touched the same parameters and groups with the same layouts and after counts. False with
    // nothing changed otherwise. The caller deletes the newer record after a merge.
    bool mergeFrom(const CAudioParamUndoRecord& newer);

    // --- replay: any thread, no parameter lock held ---
    // Writes every snapshot's before (undo) or after (redo) values back through the change path as
    // changes that replace whole groups, sent by this record and not recorded again; the audio side
    // receives them as one list.
    void applyUndo(CAudioParamCollector& collector) const { replay(collector, false); }
    void applyRedo(CAudioParamCollector& collector) const { replay(collector, true); }

    // --- queries ---
    const CString& getName() const { return mName; }
    bool isMergeable() const { return mMergeable; }
    std::int32_t getMergeKey() const { return mMergeKey; }
    int entryCount() const { return mEntries.count(); }
    const EntryMap& entries() const { return mEntries; }
    CAudioParamUndoEntry* findEntry(const CString& paramName) const;
    int snapshotCount() const;
    // Fills the array with every entry's touched set, in name order.
    void getEntries(CArray<CAudioParamUndoEntry::TouchedSet*>& out) const;
    // A deep copy of the whole record.
    CAudioParamUndoRecord* clone() const;

private:
    void replay(CAudioParamCollector& collector, bool redo) const;

    CString mName;
    bool mMergeable = false;
    std::int32_t mMergeKey = -1;
    EntryMap mEntries;  // owned entries
};

} // namespace tal
