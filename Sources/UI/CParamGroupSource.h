#pragma once
#include <cstdint>

namespace tal {

// What a UI parameter needs of the editor's group selector: the current channel group. The selector
// announces every change of it as its event "group-change" with the argument "index".
// Implemented beside CObject by the group selector; editor thread only.
class CParamGroupSource {
public:
    virtual ~CParamGroupSource() = default;
    // The current group; may be negative (no group).
    virtual std::int32_t getCurrentGroup() = 0;
};

} // namespace tal
