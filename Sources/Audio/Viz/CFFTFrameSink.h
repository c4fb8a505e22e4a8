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
};

} // namespace tal
