#pragma once
#include <cstdint>

namespace tal {

// A reference to one point of the curve editor: its layer index and its point index in that layer.
// (-1, -1) refers to no point. A plain value; the editor's UI thread only.
struct CControlPointRef {
    std::int32_t layer = -1;
    std::int32_t point = -1;

    // True when either half is negative.
    bool isNone() const noexcept { return layer < 0 || point < 0; }
    bool operator==(const CControlPointRef&) const = default;
};

} // namespace tal
