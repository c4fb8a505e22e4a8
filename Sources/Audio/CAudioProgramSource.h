#pragma once
#include "Core/CCheckedObject.h"

#include <cstdint>

namespace tal {

class CString;

// What the host's program parameter needs of the programs of an instance: their count, the
// current one, their names and a way to switch. The instance's master parameter registry is the
// source; the wrapper answers for it. Main thread.
class CAudioProgramSource : public CCheckedObject {
public:
    // At least 1 for an instance with a program bank.
    virtual std::int32_t getProgramCount() = 0;
    virtual std::int32_t getCurrentProgram() = 0;
    // The stored name ("registry id:visible name"); empty for an index outside the bank.
    virtual CString getProgramName(std::int32_t index) = 0;
    // Switches to a program; an index outside the bank is ignored.
    virtual void setCurrentProgram(std::int32_t index) = 0;
};

} // namespace tal
