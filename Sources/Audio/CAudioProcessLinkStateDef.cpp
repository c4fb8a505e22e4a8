#include "Audio/CAudioProcessLinkStateDef.h"

#include "Core/CError.h"

#include <cmath>
#include <limits>

namespace tal {

CError* CAudioProcessLinkStateDef::init() {
    if (CError* err = CObject::init())
        return traceError(err, getFullName());
    mParam = getTextAttr("param");
    if (mParam.isEmpty())
        return newError("@talstr_CAudioProcessLinkStateDef_init Invalid parameter name specified.", getFullName());
    return nullptr;
}

std::int32_t CAudioProcessLinkStateDef::stateOf(double value) noexcept {
    const double n = std::round(value);
    if (std::isnan(n))
        return kNoState;
    if (n <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    if (n >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return std::int32_t(n);
}

} // namespace tal
