#pragma once
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "UI/CSwitchCond.h"

namespace tal {

// One alternative of a state switch's condition: all of its comparisons must hold. Owns them.
struct CSwitchCondGroup : CPoolAllocated {
    CSwitchCondGroup() = default;
    CSwitchCondGroup(const CSwitchCondGroup&) = delete;
    CSwitchCondGroup& operator=(const CSwitchCondGroup&) = delete;
    ~CSwitchCondGroup() {
        for (int i = conds.count() - 1; i >= 0; --i)
            delete conds[i];
    }
    CArray<CSwitchCond*> conds;
};

} // namespace tal
