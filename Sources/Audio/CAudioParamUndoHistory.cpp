#include "Audio/CAudioParamUndoHistory.h"

#include "Audio/CAudioParamUndoRecord.h"

namespace tal {

CAudioParamUndoHistory::~CAudioParamUndoHistory() { truncate(0); }

void CAudioParamUndoHistory::truncate(int first) {
    for (int i = mRecords.count() - 1; i >= first; --i)  // newest first
        delete mRecords[i];
    if (first < mRecords.count())
        mRecords.setCount(first);
}

void CAudioParamUndoHistory::dropOldest() {
    if (mRecords.isEmpty())
        return;
    delete mRecords[0];
    mRecords.removeAt(0);
}

CAudioParamUndoHistory* CAudioParamUndoHistory::clone() const {
    auto* copy = new CAudioParamUndoHistory;
    for (const CAudioParamUndoRecord* r : mRecords)
        copy->mRecords.add(r->clone());
    copy->mPosition = mPosition;
    return copy;
}

} // namespace tal
