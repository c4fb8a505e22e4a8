#pragma once

namespace tal {

// A rectangle of a view area in window pixels: origin top left, 64-bit values.
struct CAreaRect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    // Empty when the width or the height is below 1e-5.
    bool isEmpty() const noexcept { return width < 1e-5 || height < 1e-5; }
};

} // namespace tal
