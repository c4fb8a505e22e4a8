#pragma once

#include "Audio/Processes/CAudioProcessTerminal.h"
#include "Audio/Processes/CModuleDef.h"
#include "Audio/Viz/CModSpectrumModule.h"

namespace tal {

// The spectrum analyser terminal ("audio:modSpectrum"): one CModSpectrumModule per channel.
class CModSpectrum final : public CAudioProcessTerminal<CModSpectrumModule> {};
using CModSpectrumDef = CModuleDef<CModSpectrum>;

} // namespace tal
