#include "Audio/CAudioParamUndoSnapshot.h"

#include "Audio/CAudioParamStorage.h"

namespace tal {

CAudioParamUndoSnapshot::CAudioParamUndoSnapshot(int group, const CAudioParamStorage& storage)
    : group(group),
      elementSize(storage.getElementSize()),
      dataType(storage.getDataType()),
      singleGroup(storage.isSingleGroup()),
      singleElement(storage.isSingleElement()) {}

bool CAudioParamUndoSnapshot::sameLayout(const CAudioParamStorage& storage) const {
    return storage.getElementSize() == elementSize && storage.getDataType() == dataType &&
           storage.isSingleGroup() == singleGroup && storage.isSingleElement() == singleElement;
}

int CAudioParamUndoSnapshot::capture(CArray<double>& row, const CAudioParamStorage& storage, bool empty) {
    int count = 0;
    if (!empty && storage.isFormatSet() && group >= 0 && group < storage.getGroupCount())
        count = storage.getElementCount(group);
    const int comps = components();
    row.setCount(count * comps);
    const double* values = storage.getValues(group);
    for (int i = 0; i < count; ++i) {
        if (hasItems())
            row[i] = table.copyItem(int(values[i]), storage.getData(), dataType);
        else
            for (int c = 0; c < comps; ++c)
                row[i * comps + c] = values[i * comps + c];
    }
    return count;
}

void CAudioParamUndoSnapshot::copyRow(CArray<double>& row, std::int32_t& count, const CAudioParamUndoSnapshot& from,
                                      const CArray<double>& fromRow, int fromCount) {
    releaseRow(row, count);
    const int comps = components();
    row.setCount(fromCount * comps);
    for (int i = 0; i < fromCount; ++i) {
        if (hasItems())
            row[i] = table.copyItem(int(fromRow[i]), from.table, dataType);
        else
            for (int c = 0; c < comps; ++c)
                row[i * comps + c] = fromRow[i * comps + c];
    }
    count = fromCount;
}

void CAudioParamUndoSnapshot::releaseRow(const CArray<double>& row, int count) {
    if (!hasItems())
        return;
    for (int i = 0; i < count; ++i)
        table.removeItem(int(row[i]));
}

CAudioParamUndoSnapshot* CAudioParamUndoSnapshot::clone() const {
    auto* copy = new CAudioParamUndoSnapshot;
    copy->group = group;
    copy->elementSize = elementSize;
    copy->dataType = dataType;
    copy->singleGroup = singleGroup;
    copy->singleElement = singleElement;
    copy->beforeCount = beforeCount;
    copy->afterCount = afterCount;
    copy->before = before;
    copy->after = after;
    copy->table.assign(table);  // same ids, cloned items
    return copy;
}

} // namespace tal
