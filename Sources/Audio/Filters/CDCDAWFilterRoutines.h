#pragma once

#include "Audio/Filters/CDCDAWRoutine.h"

namespace tal {

// The routine set of one filter kind: the routines that initialise, update (morph) and run a
// stage, and the byte size of the state block they work on. Sets live in the filter workspace
// of a context and keep their address for the context's life.
struct CDCDAWFilterRoutines {
    const CDCDAWRoutine* init = nullptr;
    const CDCDAWRoutine* update = nullptr;
    const CDCDAWRoutine* process = nullptr;
    int stateBytes = 0;
};

} // namespace tal
