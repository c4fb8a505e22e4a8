#pragma once

#include "Audio/Processes/CAudioProcessTerminal.h"
#include "Audio/Processes/CModFilterIIRModule.h"
#include "Audio/Processes/CModuleDef.h"

namespace tal {

// The terminal of one equaliser band ("audio:modFilterIIR"): one CModFilterIIRModule per channel.
// Neighbouring modules of the run list that run the same routines (the two channels of a stereo
// band) are processed side by side in one pass; the results equal running them one by one.
class CModFilterIIR final : public CAudioProcessTerminal<CModFilterIIRModule> {
protected:
    void runModules() noexcept override;
};
using CModFilterIIRDef = CModuleDef<CModFilterIIR>;

} // namespace tal
