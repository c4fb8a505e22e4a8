#pragma once
#include "Core/CArray.h"
#include "Core/CAttrMap.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "UI/CSwitchCondGroup.h"

namespace tal {

// One state of a state switch: its condition (alternatives; none for the default state), the
// attributes it sets per "state-target" text, and the template tag that replaces the switch's
// targets (empty: none). Owns its groups and maps.
struct CSwitchState : CPoolAllocated {
    CSwitchState() = default;
    CSwitchState(const CSwitchState&) = delete;
    CSwitchState& operator=(const CSwitchState&) = delete;
    ~CSwitchState() {
        for (int i = condition.count() - 1; i >= 0; --i)
            delete condition[i];
    }
    CArray<CSwitchCondGroup*> condition;
    CSortedMap<CString, CAttrMap> attrsByTarget;
    CString stateTag;
};

} // namespace tal
