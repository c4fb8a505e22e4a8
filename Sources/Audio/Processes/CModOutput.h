#pragma once

#include "Audio/CAudioProcessBase.h"
#include "Audio/Processes/CModuleDef.h"

namespace tal {

// The end of the graph ("audio:modOutput"): the plug-in shell renders its inputs and copies them to
// the host. The process itself only reports its input latency to the audio environment whenever
// its input format is re-evaluated as changed.
class CModOutput final : public CAudioProcessBase {
public:
    CModOutput() = default;

    void update() override;
};
using CModOutputDef = CModuleDef<CModOutput>;

} // namespace tal
