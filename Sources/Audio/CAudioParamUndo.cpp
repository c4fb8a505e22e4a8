#include "Audio/CAudioParamUndo.h"

#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamUndoHistory.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Core/CError.h"
#include "Core/CStringList.h"

namespace tal {

CAudioParamUndo::~CAudioParamUndo() { delete mHistory; }

CError* CAudioParamUndo::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    setUndoCountMax(getIntAttr("undo-count-max"));
    return nullptr;
}

void CAudioParamUndo::setCollector(CAudioParamCollector* collector) {
    std::lock_guard<CRecursiveMutex> guard(mLock);
    mCollector = collector;
}

void CAudioParamUndo::setUndoCountMax(std::int32_t count) { mUndoCountMax = count < 5 ? 4 : count; }

void CAudioParamUndo::addRecord(CAudioParamUndoRecord* record) {
    std::lock_guard<CRecursiveMutex> guard(mLock);
    if (record->snapshotCount() == 0) {
        delete record;
        return;
    }
    if (mHistory == nullptr)
        mHistory = new CAudioParamUndoHistory;
    const int position = mHistory->position();
    if (position > 0 && record->isMergeable()) {
        CAudioParamUndoRecord* last = mHistory->record(position - 1);
        if (last->isMergeable() && last->getMergeKey() == record->getMergeKey() && last->mergeFrom(*record)) {
            delete record;
            return;
        }
    }
    mHistory->truncate(position);
    if (mHistory->count() >= mUndoCountMax)
        mHistory->dropOldest();
    else
        mHistory->setPosition(position + 1);
    mHistory->append(record);
    onHistoryChanged();
}

void CAudioParamUndo::getHistory(CStringList& names, std::int32_t& position) {
    names.clear();
    names.add("Undo history start");
    std::lock_guard<CRecursiveMutex> guard(mLock);
    position = 0;
    if (mHistory == nullptr)
        return;
    for (int i = 0; i < mHistory->count(); ++i)
        names.add(mHistory->record(i)->getName());
    position = mHistory->position();
}

void CAudioParamUndo::setHistoryPosition(std::int32_t target, bool notify) {
    std::lock_guard<CRecursiveMutex> guard(mLock);
    if (target < 0 || mHistory == nullptr || target > mHistory->count() || target == mHistory->position() ||
        mCollector == nullptr)
        return;
    while (mHistory->position() < target) {
        const int p = mHistory->position();
        mHistory->record(p)->applyRedo(*mCollector);
        mHistory->setPosition(p + 1);
    }
    while (mHistory->position() > target) {
        const int p = mHistory->position() - 1;
        mHistory->setPosition(p);
        mHistory->record(p)->applyUndo(*mCollector);
    }
    if (notify)
        onHistoryChanged();
}

void CAudioParamUndo::swapHistory(CAudioParamUndoHistory*& out, CAudioParamUndoHistory*& in) {
    std::lock_guard<CRecursiveMutex> guard(mLock);
    delete out;
    out = mHistory;
    mHistory = in;
    in = nullptr;
    onHistoryChanged();
}

void CAudioParamUndo::clearHistory() {
    std::lock_guard<CRecursiveMutex> guard(mLock);
    delete mHistory;
    mHistory = nullptr;
    onHistoryChanged();
}

void CAudioParamUndo::copyHistory(CAudioParamUndoHistory*& slot) {
    std::lock_guard<CRecursiveMutex> guard(mLock);
    delete slot;
    slot = mHistory != nullptr ? mHistory->clone() : nullptr;
}

} // namespace tal
