#pragma once
#include <cstdint>

namespace tal {

// One input or window event of an X11 window, translated from Xlib into the framework's terms:
// positions in window pixels (top-left origin), buttons as the framework's codes, keys as the
// framework's key codes. A plain value; made by CX11EventTranslator.
struct CX11Event {
    enum class Kind : std::uint8_t {
        Nothing,
        MouseMove,        // x, y; buttonL/buttonR tell the held buttons
        MouseDown,        // button (and xbutton for the extra buttons), isDoubleClick
        MouseUp,          // button (and xbutton)
        Wheel,            // delta: +1 away from the user (up), -1 towards; horizontal for tilt
        KeyDown,          // keyCode
        KeyUp,            // keyCode
        PointerEnter,     // pointer entered the window
        PointerLeave,     // pointer left the window
        FocusGained,      // the window got the keyboard focus
        FocusLost,        // the window lost it
        Paint,            // x, y, width, height: an area to paint again
        Geometry,         // x, y (relative to the parent), width, height: new geometry
        CloseRequest,     // the window manager asks to close the window
        Hidden,           // the window was unmapped
        Destroyed,        // the window is gone (for a child window: its parent was destroyed)
    };

    // Framework button codes.
    static constexpr int kButtonLeft = 'L';     // 76
    static constexpr int kButtonRight = 'R';    // 82
    static constexpr int kButtonMiddle = 2;
    static constexpr int kButtonBack = 3;       // "xbutton" 2
    static constexpr int kButtonForward = 4;    // "xbutton" 1

    Kind kind = Kind::Nothing;
    std::uint64_t window = 0;                   // the X window it belongs to
    double x = 0.0, y = 0.0;                    // window pixels, or the area's origin
    double rootX = 0.0, rootY = 0.0;            // screen pixels of the pointer
    int width = 0, height = 0;                  // Paint and Geometry
    int button = 0;                             // MouseDown/MouseUp: a framework button code
    int xbutton = 0;                            // 1 forward, 2 back; 0 for other buttons
    int delta = 0;                              // Wheel
    bool horizontal = false;                    // Wheel: tilt buttons 6 and 7
    bool isDoubleClick = false;                 // MouseDown: the 2nd, 4th... press of a quick series
    bool buttonL = false, buttonR = false, buttonM = false;   // buttons held before this event
    bool isCtrl = false, isAlt = false, isShift = false;
    int keyCode = 0;                            // KeyDown/KeyUp: 0xE001.. or a UTF-16 unit
    std::uint32_t time = 0;                     // server time in milliseconds
};

} // namespace tal
