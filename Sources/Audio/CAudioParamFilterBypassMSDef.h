#pragma once

#include "Audio/CAudioParamFilterDef.h"

namespace tal {

// "audio:param-filter-bypass-ms": makes CAudioParamFilterBypassMS filters.
class CAudioParamFilterBypassMSDef : public CAudioParamFilterDef {
public:
    CAudioParamFilter* createFilter() const override;
};

} // namespace tal
