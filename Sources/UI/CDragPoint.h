#pragma once
#include "Core/CPoolAllocated.h"

namespace tal {

// One accumulated drag value of a drag state: the step of the current update (cut at a limit in
// hold-at-limit mode), the per-axis gains the owner sets, the limited position, the raw total of
// all steps (the hold-at-limit test), the free total (held at the saved value while its axis is
// locked) and the values a locked axis is held at. Owned by its CDragInfo.
struct CDragPoint : CPoolAllocated {
    double stepX = 0.0, stepY = 0.0;
    double gainX = 1.0, gainY = 1.0;
    double positionX = 0.0, positionY = 0.0;
    double rawTotalX = 0.0, rawTotalY = 0.0;
    double freeTotalX = 0.0, freeTotalY = 0.0;
    double savedPositionX = 0.0, savedPositionY = 0.0;
    double savedFreeTotalX = 0.0, savedFreeTotalY = 0.0;
};

} // namespace tal
