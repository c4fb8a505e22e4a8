#pragma once

#include "Audio/Processes/CAudioProcessTerminalBase.h"

namespace tal {

// A terminal hosting modules of class T.
template <class T>
class CAudioProcessTerminal : public CAudioProcessTerminalBase {
public:
    CAudioProcessTerminal() = default;

    CAudioModule* createModule() override { return new T; }
};

} // namespace tal
