#pragma once

#include <cstdint>

namespace tal {

class CAudioEnv;
class CObject;
class CString;
struct CAudioChannelDesc;
struct CAudioTerminalBinding;

// What a processing module needs of the terminal that hosts it: the terminal's parameter bindings
// by key, its name for log lines, its definition (for attributes such as "gen-array") and the
// channels of its other input ports. The terminal implements it; modules see nothing else of it.
class CAudioModuleHost {
public:
    // The bindings in ascending key order, and their count.
    virtual const CAudioTerminalBinding* moduleBindings(int& count) const noexcept = 0;
    // The terminal's full name (its name prefix); may be empty.
    virtual const CString& moduleHostName() const noexcept = 0;
    // The definition the terminal was made from; null for a terminal made without one.
    virtual CObject* moduleDefinition() const noexcept = 0;
    // The audio environment of the instance; null when the terminal has no graph context.
    virtual CAudioEnv* moduleEnv() const noexcept = 0;
    // The channel-table entry of input port `port` for a channel (index, group): the exact match,
    // else the last channel of the same group, else null.
    virtual CAudioChannelDesc* const* findModuleInput(int port, std::int32_t channel,
                                                      std::int32_t group) noexcept = 0;

protected:
    ~CAudioModuleHost() = default;
};

} // namespace tal
