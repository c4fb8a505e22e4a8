#pragma once

#include <cstdint>

namespace tal {

// A place in a text wrapper's text: the line (by its y), the character index within the
// paragraph's shown text, its x and the x that vertical moves try to keep. A plain value.
struct CTextPosition {
    // lineY of a position that was never placed, and of one placed on no line.
    static constexpr double kNone = -1.0;
    static constexpr double kNoLine = -1000.0;

    double lineY = kNone;
    std::int32_t charIndex = 0;
    double x = 0.0;
    double wantedX = 0.0;
};

} // namespace tal
