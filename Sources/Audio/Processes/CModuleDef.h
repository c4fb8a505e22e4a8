#pragma once

#include "Audio/CAudioProcessDefBase.h"

namespace tal {

// The definition of a module tag ("audio:modGain" and the others): a process definition whose only
// own behaviour is to make a process of class P.
template <class P>
class CModuleDef : public CAudioProcessDefBase {
public:
    CModuleDef() = default;

    CAudioProcessBase* newProcess() override { return new P; }
};

} // namespace tal
