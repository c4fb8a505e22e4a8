#pragma once

namespace tal {

class CAudioVizDataSpectrum;

// Where a spectrum analyser hands its finished frames: the module forwards them to the instance's
// visualisation collector, the editor's display and tests keep them. Audio thread.
class CFFTFrameSink {
public:
    virtual ~CFFTFrameSink() = default;
    // Takes ownership of the frame. secondary: the frame of the secondary averaging.
    virtual void postSpectrum(CAudioVizDataSpectrum* frame, bool secondary) = 0;
    // Deletes the oldest frame this sink still keeps waiting, so that its values return to the
    // reserve. False when the sink keeps none.
    virtual bool dropOldest(bool /*secondary*/) { return false; }
};

} // namespace tal
