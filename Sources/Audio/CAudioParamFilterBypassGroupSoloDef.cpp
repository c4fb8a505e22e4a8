#include "Audio/CAudioParamFilterBypassGroupSoloDef.h"

#include "Audio/CAudioParamFilterBypassGroupSolo.h"

namespace tal {

CAudioParamFilter* CAudioParamFilterBypassGroupSoloDef::createFilter() const {
    return new CAudioParamFilterBypassGroupSolo;
}

} // namespace tal
