#pragma once

#include <cstdint>

namespace tal {

class CAudioParamData;
class CAudioParamStorage;

// The description of one change of a parameter's values. The values and the table are borrowed.
struct CAudioParamChange {
    // The group of a format change: sets format and defaults, then writes group 0.
    static constexpr std::int32_t kFormatGroup = 9999;

    std::int32_t group = 0;
    std::int32_t firstElement = 0;
    std::int32_t count = 0;
    // After writing, the group ends at firstElement + count.
    bool truncate = false;
    // Who made the change; listeners compare it to recognise their own changes. Never serialised.
    const void* sender = nullptr;
    std::int32_t elementSize = 1;
    // 0 float, 1 string, 2 raw.
    std::int32_t dataType = 0;
    bool singleGroup = false;
    bool singleElement = false;
    // Float: count x elementSize components, element-major; string and raw: count item ids.
    const double* values = nullptr;
    // The table in which the ids of string and raw values are valid.
    const CAudioParamData* table = nullptr;

    // A change of the whole or part of a group with the format of a storage (no values when count
    // is 0).
    static CAudioParamChange make(int group, int first, int count, bool truncate, const void* sender,
                                  const CAudioParamStorage& format, const double* values,
                                  const CAudioParamData* table) noexcept;
    // Takes the element size, data type and single-group and single-element flags of a storage.
    void takeFormat(const CAudioParamStorage& storage) noexcept;
};

} // namespace tal
