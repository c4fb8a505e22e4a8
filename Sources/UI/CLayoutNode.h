#pragma once
#include "UI/CLayoutProgram.h"

#include <cstdint>

namespace tal {

class CViewArea;

// One variable of the layout solver: a constant, or the result of its program over other nodes.
// Lives in a chunk of the solver and never moves while the solver lives. Its value is kept apart, in
// the chunk's dense value block (CLayoutSolver::valueRef), so evaluations read inputs from few cache
// lines and areas read their variables through a pointer. What propagation walks (scratch state,
// owner, dependents) shares the first cache line; the program follows.
struct CLayoutNode {
    std::uint32_t visitEpoch = 0;     // propagation scratch: reached in this propagation
    std::uint32_t changedEpoch = 0;   // propagation scratch: an input changed in this propagation
    std::int32_t pendingInputs = 0;   // propagation scratch: inputs not final yet
    std::int32_t nextFree = -1;       // next free node while this one is free
    std::uint32_t keptIn = 0;         // bit k: listed in the solver's kept order k
    CViewArea* owner = nullptr;       // not owned; queued as changed when the value changes
    CLayoutWords<3> dependents;       // nodes whose programs push this one, each listed once
    CLayoutProgram program;           // empty for a constant
};

} // namespace tal
