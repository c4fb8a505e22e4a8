#pragma once
#include "Core/CObject.h"
#include "Platform/CSpinLock.h"

#include <cstdint>

namespace tal {

// The audio environment of one plug-in instance ("audio:audio-env", found as "plugin.audio-env"):
// the state of the audio stream that the shell, the collectors and the process graph share.
//
// Threads: the processing lock guards the processing flag, the sample rate, the visualisation time
// and both visualisation frame rates; it is held for a few instructions only (no allocation, no
// other lock inside). The latency and the running time belong to the audio thread.
class CAudioEnv : public CObject {
public:
    CAudioEnv() = default;

    // --- any thread, under processingLock ---
    CSpinLock processingLock;
    bool processing = false;             // set while the host has processing switched on
    double sampleRate = 44100.0;         // Hz
    double vizTime = 0.0;                // time stamp (s) of the current host block
    double activeVizFrameRate = 30.0;    // frames per second the frame producers use
    double requestedVizFrameRate = 30.0; // frames per second the editor last asked for

    // --- audio thread ---
    std::int32_t latency = 0;            // graph latency in samples, measured at the output process
    double runningTime = 0.0;            // seconds of audio processed since creation
};

} // namespace tal
