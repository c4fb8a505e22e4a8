#pragma once
#include "Core/CArray.h"

#include <cstdint>

namespace tal {

class CHIDInfoUpdateHandler;

// The mouse and keyboard state shared by all windows of the editor. Owned by the window shared
// data; written by the window layer's input routing and read by views and drags. UI thread only.
struct CInputState {
    // The mouse position of the last event, in screen points (origin top left).
    double mouseX = 0.0;
    double mouseY = 0.0;
    // The mouse position that drags read, in screen points.
    double dragMouseX = 0.0;
    double dragMouseY = 0.0;
    std::uint32_t buttons = 0;     // bit per pressed mouse button
    std::uint32_t modifiers = 0;   // bit per held modifier key
    CArray<CHIDInfoUpdateHandler*> activeDrags;   // not owned; a drag adds itself on start, removes on stop
};

} // namespace tal
