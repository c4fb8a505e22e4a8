#pragma once
#include "Core/CObject.h"

namespace tal {

// "ui:window-shared-data": the state all windows of the editor share (input state, frame clock,
// popup counter, image-draw pool). Every view looks it up at "ui.window-shared-data" when it
// initialises and fails without it. So far it only stands in the tree for that lookup; the window
// layer fills in its state. UI thread only.
class CWindowSharedData : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    // The frame clock in seconds: the time of the frame being prepared (set by the window layer).
    double frameClock() const noexcept { return mFrameClock; }
    void setFrameClock(double seconds) noexcept { mFrameClock = seconds; }

private:
    double mFrameClock = 0.0;
};

} // namespace tal
