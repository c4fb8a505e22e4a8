#include "Audio/CAudioParamFilterBypassMSDef.h"

#include "Audio/CAudioParamFilterBypassMS.h"

namespace tal {

CAudioParamFilter* CAudioParamFilterBypassMSDef::createFilter() const { return new CAudioParamFilterBypassMS; }

} // namespace tal
