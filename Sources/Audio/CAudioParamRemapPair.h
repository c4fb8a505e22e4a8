#pragma once

#include "Core/CString.h"

namespace tal {

// One remapping: a parameter name (or name prefix) and the name that serves it.
struct CAudioParamRemapPair {
    CString orig;
    CString replacement;
};

} // namespace tal
