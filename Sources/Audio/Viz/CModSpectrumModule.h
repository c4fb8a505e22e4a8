#pragma once

#include "Audio/Processes/CAudioModule.h"
#include "Audio/Viz/CFFTAnalyser.h"
#include "Audio/Viz/CFFTVizSink.h"

namespace tal {

class CAudioEnv;
class CAudioVizCollector;

// The spectrum analyser module (terminal "audio:modSpectrum"): analyses its input channel with a
// CFFTAnalyser and posts the spectrum frames to the instance's visualisation collector, the
// primary spectrum under the terminal's name and the secondary one under that name followed by
// "-sec". It outputs no audio (output count 0).
//
// Keys: 0 block-size, 1 window, 2 overlap, 3 avg-time, 4 type, 5 reset, 6 sec-type, 7 sec-enable.
// Audio thread, like every module.
class CModSpectrumModule : public CAudioModule {
public:
    enum : int {
        kKeyBlockSize = 0,
        kKeyWindow,
        kKeyOverlap,
        kKeyAvgTime,
        kKeyType,
        kKeyReset,
        kKeySecType,
        kKeySecEnable,
        kKeyCount
    };

    CModSpectrumModule() = default;

    // --- module operations ---
    // Finds the two visualisation items of the terminal's name.
    void init() override;
    // Restarts the analysis (plan and buffers for the current settings, accumulators cleared).
    void reset() override;
    // Reads the changed parameters; size, window, type, secondary or "reset" changes and changed
    // inputs restart the analysis.
    void update() override;
    // Analyses input channel 0 of the block.
    void process() override;
    void bindParams() override;

    // --- queries ---
    const CFFTAnalyser& analyser() const noexcept { return mAnalyser; }
    const CFFTVizSink& sink() const noexcept { return mSink; }

private:
    // The collector of the hosting terminal's graph; null when the terminal has none.
    CAudioVizCollector* vizCollector() const noexcept;
    double runningTime() const noexcept;
    double activeFrameRate() const noexcept;

    const CAudioParamStorage* mStores[kKeyCount] = {};
    std::uint8_t mChanged[kKeyCount] = {};
    CAudioEnv* mEnv = nullptr;
    CFFTVizSink mSink;
    CFFTAnalyser mAnalyser;
};

} // namespace tal
