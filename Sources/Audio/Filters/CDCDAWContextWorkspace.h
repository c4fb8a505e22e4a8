#pragma once

#include "Core/CCheckedObject.h"
#include "Core/CPoolAllocated.h"

namespace tal {

// Base of the per-instance workspaces that a CDCDAWContext keeps under 32-bit keys; the context
// owns them and destroys them through this virtual destructor.
class CDCDAWContextWorkspace : public CCheckedObject, public CPoolAllocated {
public:
    CDCDAWContextWorkspace() = default;
    CDCDAWContextWorkspace(const CDCDAWContextWorkspace&) = delete;
    CDCDAWContextWorkspace& operator=(const CDCDAWContextWorkspace&) = delete;
    ~CDCDAWContextWorkspace() override = default;
};

} // namespace tal
