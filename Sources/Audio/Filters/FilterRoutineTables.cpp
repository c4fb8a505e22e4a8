#include "Audio/Filters/FilterRoutineTables.h"

#include "Audio/Filters/BiquadRoutines.h"
#include "Audio/Filters/FirstOrderRoutines.h"

namespace tal {

const CDCDAWRoutine kFirstOrderRoutineTable[5] = {
    {DCDAW_fltlphp1i, 2, 1, "DCDAW_fltlphp1i", nullptr},
    {DCDAW_fltlphp1u, 2, 1, "DCDAW_fltlphp1u", nullptr},
    {DCDAW_fltlp1, 3, 3, "DCDAW_fltlp1", nullptr},
    {DCDAW_flthp1, 3, 3, "DCDAW_flthp1", nullptr},
    {DCDAW_flthp1g, 3, 3, "DCDAW_flthp1g", nullptr},
};

const CDCDAWRoutine kMagnusRoutineTable[3] = {
    {DCDAW_fltbiqi, 2, 1, "DCDAW_fltbiqi", nullptr},
    {DCDAW_fltbiqu, 2, 1, "DCDAW_fltbiqu", nullptr},
    {DCDAW_fltbiqcommon, 3, 3, "DCDAW_fltbiqcommon", DCDAW_fltbiqcommon_pair},
};

const CDCDAWRoutine kRBJRoutineTable[7] = {
    {DCDAW_fltbiqi, 2, 1, "DCDAW_fltbiqi", nullptr},
    {DCDAW_fltbiqu, 2, 1, "DCDAW_fltbiqu", nullptr},
    {DCDAW_fltbiqcommon, 3, 3, "DCDAW_fltbiqcommon", DCDAW_fltbiqcommon_pair},
    {DCDAW_fltbiqlp, 3, 3, "DCDAW_fltbiqlp", DCDAW_fltbiqlp_pair},
    {DCDAW_fltbiqhp, 3, 3, "DCDAW_fltbiqhp", DCDAW_fltbiqhp_pair},
    {DCDAW_fltbiqbp, 3, 3, "DCDAW_fltbiqbp", DCDAW_fltbiqbp_pair},
    {DCDAW_fltbiqnotch, 3, 3, "DCDAW_fltbiqnotch", DCDAW_fltbiqnotch_pair},
};

} // namespace tal
