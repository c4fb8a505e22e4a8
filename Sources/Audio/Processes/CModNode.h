#pragma once

#include "Audio/CAudioProcessBase.h"
#include "Audio/Processes/CModuleDef.h"

namespace tal {

// A junction ("audio:modNode"): combines whatever reaches its input port 0 (by the definition's
// "input-combo-mode") and hands every channel on by reference to every output link. Inside a
// composite a node definition never becomes a process: link resolution forwards through it.
class CModNode final : public CAudioProcessBase {
public:
    CModNode() = default;

    void update() override;
    void process() override;
};
using CModNodeDef = CModuleDef<CModNode>;

} // namespace tal
