#pragma once

namespace tal {

class CWindowRenderer;

// The keyboard-focus holder: one record for the whole process, shared by every editor loaded in
// it, that names the window renderer which receives key presses. A key that arrives in any editor
// window while another window holds the focus goes to the holder. The record is guarded by a
// recursive mutex, so a holder function may be called again while it is held. The renderer is not
// owned: a renderer releases the holder before it goes away.

// Makes renderer (not null) the holder and gives its window the window system's keyboard focus;
// nothing when it already is the holder.
void setKeyFocusWindow(CWindowRenderer* renderer);
// Clears the holder when it is renderer; otherwise nothing.
void releaseKeyFocusWindow(CWindowRenderer* renderer);
// The holder, or null (read under the mutex; use it on the UI thread only).
CWindowRenderer* getKeyFocusWindow();

} // namespace tal
