#pragma once

#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CAudioParamUndoRecord;

// The undo steps of one program, oldest first, and the position: records [0, position) are done
// and can be undone, records [position, count) can be redone. Owns its records. Guarded by the
// lock of the CAudioParamUndo that holds it.
class CAudioParamUndoHistory : public CPoolAllocated {
public:
    CAudioParamUndoHistory() = default;
    ~CAudioParamUndoHistory();
    CAudioParamUndoHistory(const CAudioParamUndoHistory&) = delete;
    CAudioParamUndoHistory& operator=(const CAudioParamUndoHistory&) = delete;

    int count() const { return mRecords.count(); }
    CAudioParamUndoRecord* record(int i) const { return mRecords[i]; }
    std::int32_t position() const { return mPosition; }
    void setPosition(std::int32_t position) { mPosition = position; }
    void append(CAudioParamUndoRecord* record) { mRecords.add(record); }
    // Deletes the records from index first to the end.
    void truncate(int first);
    // Deletes the oldest record and moves the others down.
    void dropOldest();
    // A deep copy of every record and the position.
    CAudioParamUndoHistory* clone() const;

private:
    CArray<CAudioParamUndoRecord*> mRecords;  // owned, oldest first
    std::int32_t mPosition = 0;
};

} // namespace tal
