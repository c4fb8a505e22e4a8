#pragma once
#include "Core/CArray.h"

#include <cstdint>

namespace tal {

class CAttrMap;
class CHIDInfoUpdateHandler;

// The mouse and keyboard state shared by all windows of the editor. Owned by the window shared
// data; written by the window layer's input routing and read by views and drags. The framework's
// "ctrl" is the Control key on this platform. UI thread only.
struct CInputState {
    // The mouse position of the last event, in screen points (origin top left).
    double mouseX = 0.0;
    double mouseY = 0.0;
    // A second copy of the position that drags read, written with it by the event readers and when
    // the window moves the pointer itself.
    double dragMouseX = 0.0;
    double dragMouseY = 0.0;
    bool alt = false;
    bool ctrl = false;
    bool shift = false;
    bool buttonL = false;   // primary button down
    bool buttonR = false;   // secondary button down
    CArray<CHIDInfoUpdateHandler*> activeDrags;   // not owned; a drag adds itself on start, removes on stop

    // --- readers ---
    // From the window system (the current window backend): the modifier keys and buttons, and the
    // pointer position when readPosition is set; the position is copied to the drag copy when both
    // flags are set. Without a backend nothing changes.
    void readSystemState(bool readPosition, bool copyToLast);
    // From a mouse event's parameters: "x", "y" (reals, 0 when missing) and, unless positionOnly,
    // "is-button-l", "is-button-r" and the modifiers; the drag copy follows the position.
    void setFromEvent(CAttrMap& params, bool positionOnly);
    // "is-alt", "is-ctrl", "is-shift" as bools (false when missing).
    void setModifiersFromEvent(CAttrMap& params);
};

} // namespace tal
