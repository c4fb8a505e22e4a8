#pragma once
#include <cstdint>

namespace tal {

// One row (or column) of inline children of an area: the range of child indices it covers and four
// solver nodes owned by the area: the length along, the thickness across, and both over the children
// whose size is not derived from the parent's space.
struct CInlineRow {
    std::int32_t firstChild = 0;
    std::int32_t lastChild = 0;
    std::int32_t rowLength = -1;
    std::int32_t rowThickness = -1;
    std::int32_t fixedLength = -1;
    std::int32_t fixedThickness = -1;
};

} // namespace tal
