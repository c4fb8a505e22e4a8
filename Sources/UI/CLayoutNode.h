#pragma once
#include "UI/CLayoutProgram.h"

#include <cstdint>

namespace tal {

class CViewArea;

// One variable of the layout solver: a constant, or the result of its program over other nodes.
// Lives in a chunk of the solver and never moves while the solver lives, so areas read `value`
// through a pointer. The last three fields are scratch state of one propagation.
struct CLayoutNode {
    double value = 0.0;
    CViewArea* owner = nullptr;   // not owned; queued as changed when the value changes
    CLayoutProgram program;       // empty for a constant
    std::int32_t nextFree = -1;   // next free node while this one is free
    CLayoutWords<3> dependents;   // nodes whose programs push this one, each listed once
    std::uint32_t visitEpoch = 0;
    std::int32_t pendingInputs = 0;
    bool hasChangedInput = false;
};

} // namespace tal
