#pragma once
#include "Core/CAttrMap.h"

#include <cstdint>

namespace tal {

// Reads of a mouse event's argument map: false, 0 or 0.0 when the argument is missing or does not
// convert.
inline bool argBool(CAttrMap& args, const char* name) {
    CAttrValue* value = args.findValue(name);
    return value != nullptr && value->asBool();
}
inline double argReal(CAttrMap& args, const char* name) {
    CAttrValue* value = args.findValue(name);
    return value != nullptr ? value->asReal() : 0.0;
}
inline std::int32_t argInt(CAttrMap& args, const char* name) {
    CAttrValue* value = args.findValue(name);
    return value != nullptr ? value->asInt() : 0;
}

} // namespace tal
