#pragma once

#include "Audio/Processes/CAudioProcessTerminal.h"
#include "Audio/Processes/CModGainModule.h"
#include "Audio/Processes/CModuleDef.h"

namespace tal {

// The gain terminal ("audio:modGain"): one CModGainModule per channel.
class CModGain final : public CAudioProcessTerminal<CModGainModule> {};
using CModGainDef = CModuleDef<CModGain>;

} // namespace tal
