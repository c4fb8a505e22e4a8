#include "Audio/CAudioParamUndoRecord.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamStorage.h"

namespace tal {

CAudioParamUndoRecord::CAudioParamUndoRecord(const CString& name, bool mergeable, std::int32_t mergeKey)
    : mName(name), mMergeable(mergeable), mMergeKey(mergeKey) {}

CAudioParamUndoRecord::~CAudioParamUndoRecord() {
    for (EntryMap::Node* n = mEntries.first(); n != nullptr; n = EntryMap::next(n))
        delete n->value;
}

CAudioParamUndoEntry* CAudioParamUndoRecord::acquireEntry(const CString& paramName) {
    EntryMap::Node* node = mEntries.findOrAdd(paramName);
    if (node->value == nullptr)
        node->value = new CAudioParamUndoEntry;
    return node->value;
}

CAudioParamUndoEntry* CAudioParamUndoRecord::findEntry(const CString& paramName) const {
    EntryMap::Node* node = mEntries.find(paramName);
    return node != nullptr ? node->value : nullptr;
}

void CAudioParamUndoRecord::captureBefore(const CString& paramName, int group, const CAudioParamStorage& storage,
                                          bool empty) {
    CAudioParamUndoEntry* entry = acquireEntry(paramName);
    if (entry->findSnapshot(group) != nullptr)
        return;
    auto* snapshot = new CAudioParamUndoSnapshot(group, storage);
    snapshot->beforeCount = snapshot->capture(snapshot->before, storage, empty);
    entry->addSnapshot(snapshot);
}

void CAudioParamUndoRecord::captureAfter(const CString& paramName, int group, const CAudioParamStorage& storage,
                                         bool empty) {
    CAudioParamUndoEntry* entry = findEntry(paramName);
    CAudioParamUndoSnapshot* snapshot = entry != nullptr ? entry->findSnapshot(group) : nullptr;
    if (snapshot == nullptr || !snapshot->sameLayout(storage))
        return;
    snapshot->releaseRow(snapshot->after, snapshot->afterCount);
    snapshot->afterCount = snapshot->capture(snapshot->after, storage, empty);
}

bool CAudioParamUndoRecord::mergeFrom(const CAudioParamUndoRecord& newer) {
    int matched = 0;
    for (EntryMap::Node* n = mEntries.first(); n != nullptr; n = EntryMap::next(n), ++matched) {
        const CAudioParamUndoEntry* other = newer.findEntry(n->key);
        const CAudioParamUndoEntry* mine = n->value;
        if (other == nullptr || other->snapshotCount() != mine->snapshotCount())
            return false;
        for (int i = 0; i < mine->snapshotCount(); ++i) {
            const CAudioParamUndoSnapshot& a = *mine->snapshot(i);
            const CAudioParamUndoSnapshot& b = *other->snapshot(i);
            if (a.group != b.group || a.afterCount != b.afterCount || a.elementSize != b.elementSize ||
                a.dataType != b.dataType || a.singleGroup != b.singleGroup || a.singleElement != b.singleElement)
                return false;
        }
    }
    if (matched != newer.entryCount())
        return false;
    for (EntryMap::Node* n = mEntries.first(); n != nullptr; n = EntryMap::next(n)) {
        const CAudioParamUndoEntry* other = newer.findEntry(n->key);
        for (int i = 0; i < n->value->snapshotCount(); ++i) {
            CAudioParamUndoSnapshot& mine = *n->value->snapshot(i);
            const CAudioParamUndoSnapshot& theirs = *other->snapshot(i);
            mine.copyRow(mine.after, mine.afterCount, theirs, theirs.after, theirs.afterCount);
        }
    }
    return true;
}

void CAudioParamUndoRecord::replay(CAudioParamCollector& collector, bool redo) const {
    CAudioParamChangeList list;
    const CAudioParamContext context{nullptr, &list, false};
    for (EntryMap::Node* n = mEntries.first(); n != nullptr; n = EntryMap::next(n)) {
        CAudioParam* param = collector.acquireParam(n->key);
        for (int i = 0; i < n->value->snapshotCount(); ++i) {
            const CAudioParamUndoSnapshot& s = *n->value->snapshot(i);
            CAudioParamChange change;
            change.group = s.group;
            change.firstElement = 0;
            change.count = redo ? s.afterCount : s.beforeCount;
            change.truncate = true;
            change.sender = this;
            change.elementSize = s.elementSize;
            change.dataType = s.dataType;
            change.singleGroup = s.singleGroup;
            change.singleElement = s.singleElement;
            change.values = change.count > 0 ? (redo ? s.after.data() : s.before.data()) : nullptr;
            change.table = &s.table;
            param->applyChange(change, nullptr, context);
        }
    }
    collector.queueChanges(list);
    list.clear();
}

int CAudioParamUndoRecord::snapshotCount() const {
    int total = 0;
    for (EntryMap::Node* n = mEntries.first(); n != nullptr; n = EntryMap::next(n))
        total += n->value->snapshotCount();
    return total;
}

void CAudioParamUndoRecord::getEntries(CArray<CAudioParamUndoEntry::TouchedSet*>& out) const {
    out.setCount(mEntries.count());
    int i = 0;
    for (EntryMap::Node* n = mEntries.first(); n != nullptr; n = EntryMap::next(n))
        out[i++] = &n->value->touched();
}

CAudioParamUndoRecord* CAudioParamUndoRecord::clone() const {
    auto* copy = new CAudioParamUndoRecord(mName, mMergeable, mMergeKey);
    for (EntryMap::Node* n = mEntries.first(); n != nullptr; n = EntryMap::next(n))
        copy->mEntries.findOrAdd(n->key)->value = n->value->clone();
    return copy;
}

} // namespace tal
