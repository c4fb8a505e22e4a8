#pragma once
#include "Core/CCheckedObject.h"

namespace tal {

class CAudioVizData;
class CString;

// A receiver of visualisation frames from the visualisation exchange (meters, spectra). Editor
// thread only.
class CVizListener : public CCheckedObject {
public:
    // Clears what the listener shows (no data for a while, or the audio side restarted).
    virtual void onVizReset() = 0;
    // A frame of the visual object name; lent for the call only.
    virtual void onVizData(const CString& name, const CAudioVizData& frame) = 0;
};

} // namespace tal
