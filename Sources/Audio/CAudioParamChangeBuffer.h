#pragma once

#include "Audio/CAudioParamData.h"
#include "Core/CArray.h"

namespace tal {

// What a change read from a stream owns: its values and the table of its string and raw items.
// A CAudioParamChange read with CAudioParamStorage::readChange points into it.
class CAudioParamChangeBuffer {
public:
    CAudioParamChangeBuffer() = default;
    CAudioParamChangeBuffer(const CAudioParamChangeBuffer&) = delete;
    CAudioParamChangeBuffer& operator=(const CAudioParamChangeBuffer&) = delete;

    CAudioParamData& getTable() { return mTable; }
    CArray<double>& getValues() { return mValues; }

private:
    CAudioParamData mTable;
    CArray<double> mValues;
};

} // namespace tal
