#pragma once

#include "Audio/Filters/CDCDAWRoutine.h"
#include "Core/CPoolAllocated.h"

namespace tal {

// The call frame of a named signal routine. The block arguments are audio blocks (first sample
// addresses): initialise and update calls get (state, coefficients); process calls (output,
// state, input); paired process calls (output 0, state 0, input 0, output 1, state 1, input 1);
// vector routines (output, a, b, c, d). Frames are recycled through the context's free list.
struct CDCDAWCall : CPoolAllocated {
    static constexpr int kMaxBlocks = 6;

    const CDCDAWRoutine* routine = nullptr;
    int count = 0;                  // samples of a process call, coefficients of a setup call
    double real = 0.0;              // sample rate of setup calls; the constant of vector routines
    double* blocks[kMaxBlocks] = {};
    CDCDAWCall* next = nullptr;     // link in the context's free list
};

} // namespace tal
