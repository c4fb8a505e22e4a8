#pragma once

#include "Audio/CAudioParamFilterDef.h"

namespace tal {

// "audio:param-filter-bypass-group-solo": makes CAudioParamFilterBypassGroupSolo filters.
class CAudioParamFilterBypassGroupSoloDef : public CAudioParamFilterDef {
public:
    CAudioParamFilter* createFilter() const override;
};

} // namespace tal
