#include "Audio/CAudioParamChange.h"

#include "Audio/CAudioParamStorage.h"

namespace tal {

CAudioParamChange CAudioParamChange::make(int group, int first, int count, bool truncate, const void* sender,
                                          const CAudioParamStorage& format, const double* values,
                                          const CAudioParamData* table) noexcept {
    CAudioParamChange change;
    change.group = group;
    change.firstElement = first;
    change.count = count;
    change.truncate = truncate;
    change.sender = sender;
    change.takeFormat(format);
    change.values = count > 0 ? values : nullptr;
    change.table = table;
    return change;
}

void CAudioParamChange::takeFormat(const CAudioParamStorage& storage) noexcept {
    elementSize = storage.getElementSize();
    dataType = storage.getDataType();
    singleGroup = storage.isSingleGroup();
    singleElement = storage.isSingleElement();
}

} // namespace tal
