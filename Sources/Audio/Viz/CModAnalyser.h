#pragma once

#include "Audio/Processes/CAudioProcessTerminal.h"
#include "Audio/Processes/CModuleDef.h"
#include "Audio/Viz/CModAnalyserModule.h"

namespace tal {

// The spectrum analyser terminal ("audio:modSpectrum"): one CModAnalyserModule per channel.
class CModAnalyser final : public CAudioProcessTerminal<CModAnalyserModule> {};
using CModAnalyserDef = CModuleDef<CModAnalyser>;

} // namespace tal
