#pragma once
#include "Platform/CX11Event.h"

#include <cstdint>

union _XEvent;   // Xlib's XEvent; Xlib's macros stay out of this header

namespace tal {

// Turns Xlib events of one window into CX11Event values: buttons 1/2/3 as left/middle/right,
// 4/5 as wheel steps up/down, 6/7 as horizontal ones, 8/9 as the back/forward extra buttons;
// double clicks from the time and distance between presses; Control as "ctrl", Alt (Mod1) as
// "alt"; special keys as the framework's codes from 0xE001, other keys as the first UTF-16 unit
// of their text. Owned by its window; main thread.
class CX11EventTranslator {
public:
    static constexpr std::uint32_t kDoubleClickMs = 400;
    static constexpr int kDoubleClickDistance = 4;     // pixels in each direction

    // --- operations ---
    // Translates one event; returns false for events that give nothing (a key without text, the
    // release of a wheel step, kinds the windows do not use); `out` is then unspecified.
    bool translate(const _XEvent& event, CX11Event& out);

    // --- helpers ---
    // The framework's code of a keysym: 0xE001.. for the special keys, the character (its first
    // UTF-16 unit) for Latin-1 and Unicode keysyms, else 0.
    static int keyCodeOfKeysym(unsigned long keysym) noexcept;

private:
    // The last press, for double clicks.
    unsigned int mLastButton = 0;
    std::uint32_t mLastPressTime = 0;
    int mLastPressX = 0, mLastPressY = 0;
    int mClickCount = 0;
};

} // namespace tal
