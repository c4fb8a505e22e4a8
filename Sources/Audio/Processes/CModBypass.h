#pragma once

#include "Audio/Processes/CAudioProcessTerminal.h"
#include "Audio/Processes/CModBypassModule.h"
#include "Audio/Processes/CModuleDef.h"

namespace tal {

// The bypass and group-solo terminal ("audio:modBypass"): one CModBypassModule per channel; its
// input port 1 carries the alternate (dry) signal.
class CModBypass final : public CAudioProcessTerminal<CModBypassModule> {};
using CModBypassDef = CModuleDef<CModBypass>;

} // namespace tal
