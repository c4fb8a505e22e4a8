#pragma once
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// One comparison of a state switch's condition: the value of a UI parameter (by the full name of its
// bridge, or the simple-value key) at an element offset, rounded to the nearest integer, is (or,
// negated, is not) one of the values. Owned by its condition group.
struct CSwitchCond : CPoolAllocated {
    CString bridgeName;
    std::int32_t elementOffset = 0;
    bool negate = false;
    CArray<std::int32_t> values;
};

} // namespace tal
