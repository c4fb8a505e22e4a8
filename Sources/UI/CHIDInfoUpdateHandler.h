#pragma once
#include "Core/CCheckedObject.h"

namespace tal {

// What the window notifies when it moves the mouse cursor itself: every handler in the input
// state's list of active drags re-reads the mouse position before the cursor is warped, so that its
// next step is measured from where the cursor really is. UI thread only.
class CHIDInfoUpdateHandler : public CCheckedObject {
public:
    virtual void onMouseUpdate() = 0;
};

} // namespace tal
