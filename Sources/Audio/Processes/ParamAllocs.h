#pragma once

#include "Core/CArray.h"

namespace tal {

class CAudioParamAllocDef;
class CObject;

// The parameter allocations ("audio:param-alloc" children) of a process definition in ascending
// key order; of two allocations with one key the later child counts.
void collectParamAllocs(const CObject* definition, CArray<CAudioParamAllocDef*>& out);
// The allocation of a key, null when the definition has none.
CAudioParamAllocDef* findParamAlloc(const CObject* definition, int key);

} // namespace tal
