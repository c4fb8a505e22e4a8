#pragma once

#include "Core/CObject.h"
#include "Core/CRecursiveMutex.h"

#include <cstdint>
#include <mutex>

namespace tal {

class CAudioParamCollector;
class CAudioParamUndoHistory;
class CAudioParamUndoRecord;
class CStringList;

// The undo history of one plug-in instance, on the audio side (a base of the interface base).
// Finished records are appended: consecutive mergeable records with one merge key fold into one,
// the redo tail is cut and the oldest record is dropped at the limit ("undo-count-max", at least 5,
// else 4). Moving the position replays records through the ordinary change path.
//
// Threads: any thread; everything runs under the history's recursive lock, which is taken inside a
// registry's preset lock and outside parameter locks (replay locks the parameters it changes).
// onHistoryChanged runs with the lock held.
class CAudioParamUndo : public CObject {
public:
    CAudioParamUndo() = default;
    ~CAudioParamUndo() override;

    // --- life cycle ---
    // Reads undo-count-max.
    [[nodiscard]] CError* init() override;
    // The collector through which undo and redo find parameters and reach the audio side; the owner
    // sets it before the first move.
    void setCollector(CAudioParamCollector* collector);
    // Sets the limit as init does (tests and code-built owners).
    void setUndoCountMax(std::int32_t count);

    // --- the history ---
    // Takes ownership of a finished record; a record without snapshots is deleted.
    void addRecord(CAudioParamUndoRecord* record);
    // "Undo history start" followed by every record's name, oldest first, and the position.
    void getHistory(CStringList& names, std::int32_t& position);
    // Undoes or redoes records until the position is reached; out-of-range targets are ignored.
    void setHistoryPosition(std::int32_t target, bool notify);
    // Called after the history or its position changed, under the lock.
    virtual void onHistoryChanged() {}

    // --- exchanges for programs and the A/B comparison ---
    // The out slot's history is deleted and receives the live one; the live history becomes the in
    // slot's, which is emptied.
    void swapHistory(CAudioParamUndoHistory*& out, CAudioParamUndoHistory*& in);
    // Deletes the live history.
    void clearHistory();
    // The slot's history is replaced by a deep copy of the live one (null without one).
    void copyHistory(CAudioParamUndoHistory*& slot);

    // --- queries ---
    std::int32_t getUndoCountMax() const { return mUndoCountMax; }
    CRecursiveMutex& getLock() { return mLock; }

private:
    CRecursiveMutex mLock;
    CAudioParamCollector* mCollector = nullptr;  // under mLock
    std::int32_t mUndoCountMax = 4;
    CAudioParamUndoHistory* mHistory = nullptr;   // owned, under mLock
};

} // namespace tal
