#pragma once

namespace tal {

struct CDCDAWCall;

// One entry of a routine table: a named signal routine that runs through a call frame.
// Process routines of biquad stages also carry a paired form that runs two channels (two state
// blocks with the same routine) side by side with results identical to two single calls.
struct CDCDAWRoutine {
    void (*routine)(CDCDAWCall& call) noexcept = nullptr;
    int blockArgCount = 0;          // block arguments the runner releases after the call
    int secondCount = 0;            // 1 for initialise and update routines, 3 for process routines
    const char* name = nullptr;     // "DCDAW_..."
    void (*pairRoutine)(CDCDAWCall& call) noexcept = nullptr;   // null: no paired form
};

} // namespace tal
