#pragma once

#include <cstdint>

namespace tal {

class CAudioParamStorage;
class CString;

// One parameter allocation of a terminal's definition, bound when the terminal is initialised:
// the allocation's key ("index"), the changed-group bits the parameter side raises (cleared after
// each update), its flags, the bound value store and the allocation's parameter name (owned by the
// definition, which outlives every process made from it).
struct CAudioTerminalBinding {
    std::int32_t key = 0;
    std::uint32_t changedGroups = 0;
    bool smoothUpdate = false;
    bool useAllGroups = false;
    const CAudioParamStorage* store = nullptr;
    const CString* paramName = nullptr;
};

} // namespace tal
