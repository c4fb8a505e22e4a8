#pragma once

#include "Audio/CAudioParamData.h"
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CAudioParamStorage;

// One group of one parameter as it was before an undo step's first change of it and after its last
// change. The layout never changes after the snapshot is made; every string or raw id in the two
// value rows names an item of the snapshot's own table, so the snapshot stays valid whatever the
// parameter does with its own items. Up to 8 values per row live inline.
struct CAudioParamUndoSnapshot : CPoolAllocated {
    std::int32_t group = 0;
    std::int32_t elementSize = 1;
    std::int32_t dataType = 0;
    bool singleGroup = false;
    bool singleElement = false;
    std::int32_t beforeCount = 0;
    std::int32_t afterCount = 0;
    CArray<double> before;   // beforeCount x components, element-major; or item ids
    CArray<double> after;    // afterCount x components; or item ids
    CAudioParamData table;

    // A snapshot of a group with the storage's layout and no values yet.
    CAudioParamUndoSnapshot(int group, const CAudioParamStorage& storage);
    CAudioParamUndoSnapshot(const CAudioParamUndoSnapshot&) = delete;
    CAudioParamUndoSnapshot& operator=(const CAudioParamUndoSnapshot&) = delete;

    bool hasItems() const noexcept { return dataType != 0; }
    int components() const noexcept { return hasItems() ? 1 : elementSize; }
    // True when the storage has this snapshot's layout.
    bool sameLayout(const CAudioParamStorage& storage) const;
    // Fills a row from a group of the storage: count 0 when empty is set, the storage has no format,
    // lacks the group or the group is empty; items are cloned into this snapshot's table.
    int capture(CArray<double>& row, const CAudioParamStorage& storage, bool empty);
    // Replaces a row with another snapshot's row (items cloned into this table, the old ones removed).
    void copyRow(CArray<double>& row, std::int32_t& count, const CAudioParamUndoSnapshot& from,
                 const CArray<double>& fromRow, int fromCount);
    // Removes the items named by a row from the table.
    void releaseRow(const CArray<double>& row, int count);
    // A deep copy (rows and table).
    CAudioParamUndoSnapshot* clone() const;

private:
    CAudioParamUndoSnapshot() = default;
};

} // namespace tal
