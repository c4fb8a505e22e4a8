#pragma once
#include <cstdint>

namespace tal {

// One event of a native window, as a window backend hands it to the window's sink. Positions and
// paint rectangles are in window points with the origin at the top-left corner of the window's
// content; the renderer turns points into pixels with its own scale.
struct CNativeEvent {
    enum class Type : std::uint8_t {
        Paint,          // x, y, width, height: the area to redraw and present
        MouseMove,      // x, y, modifiers (buttons held)
        MouseButton,    // x, y, button (0 left, 1 right, 2 middle), down, doubleClick, modifiers
        MouseXButton,   // x, y, button (1 back, 2 forward), down, modifiers
        MouseWheel,     // x, y, delta (steps, positive away from the user), modifiers
        MouseExit,      // the pointer left the window
        KeyPress,       // keycode (a character, or a special key from 0xE001 on), modifiers
        KeyRelease,     // the same
        FocusLost,      // the window lost the keyboard focus
        ScaleChanged,   // scale: the backing scale of the window's screen changed
        Closed,         // the window system took the window away (its id is no longer valid)
    };

    // Modifier and button bits of `modifiers`.
    static constexpr std::uint32_t kShift = 1u << 0;
    static constexpr std::uint32_t kCtrl = 1u << 1;
    static constexpr std::uint32_t kAlt = 1u << 2;
    static constexpr std::uint32_t kLeftButton = 1u << 8;
    static constexpr std::uint32_t kRightButton = 1u << 9;
    static constexpr std::uint32_t kMiddleButton = 1u << 10;

    Type type = Type::MouseMove;
    double x = 0.0, y = 0.0;            // points
    double width = 0.0, height = 0.0;   // Paint only, points
    double delta = 0.0;                 // MouseWheel
    double scale = 1.0;                 // ScaleChanged
    std::int32_t button = 0;
    std::int32_t keycode = 0;
    std::uint32_t modifiers = 0;
    bool down = false;
    bool doubleClick = false;
};

} // namespace tal
