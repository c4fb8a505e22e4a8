#pragma once
#include "UI/CViewBaseCtlEvents.h"

namespace tal {

// The last abstract layer of every view: it adds nothing to the input layer; the view class above it
// implements the painting operations the placement layer leaves open (invalidateSectors,
// updateHover).
class CViewBase : public CViewBaseCtlEvents {
public:
    CViewBase() = default;
};

} // namespace tal
