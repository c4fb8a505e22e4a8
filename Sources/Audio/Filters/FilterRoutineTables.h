#pragma once

#include "Audio/Filters/CDCDAWRoutine.h"

namespace tal {

// The constant routine tables of the filter designers. Each designer points the routine sets of
// its stages into its own table: entry 0 initialises, entry 1 updates, the rest process.
//   first-order: fltlphp1i, fltlphp1u, fltlp1, flthp1, flthp1g
//   Magnus:      fltbiqi, fltbiqu, fltbiqcommon
//   RBJ:         fltbiqi, fltbiqu, fltbiqcommon, fltbiqlp, fltbiqhp, fltbiqbp, fltbiqnotch
extern const CDCDAWRoutine kFirstOrderRoutineTable[5];
extern const CDCDAWRoutine kMagnusRoutineTable[3];
extern const CDCDAWRoutine kRBJRoutineTable[7];

} // namespace tal
