#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

namespace tal {

// The RBJ designer ("audio:fltgen-rbj"): one second-order stage from "freq", "gain" (linear) and
// "bw" (octaves, or a Q) with the classic bilinear-transform formulas, and the process routine
// that suits the numerator's shape. Read-only after configure; see CAudioFilterGen for threads.
class CAudioFilterRBJGen : public CAudioFilterGen {
public:
    enum Type {
        kLowPass = 0,
        kHighPass = 1,
        kBandPass = 2,          // 0 dB peak
        kBandPassPeakQ = 3,     // peak gain Q
        kNotch = 4,
        kAllPass = 5,
        kPeaking = 6,
        kLowShelf = 7,
        kHighShelf = 8,
        kAllPassRadius = 9,     // poles at radius Q
        kType10 = 10,           // unit gain at 0 Hz and fs/2, sn/alpha at f
        kTypeCount = 11
    };

    struct Options {
        bool isQ = false;       // "bw" is a Q
        bool isType2 = false;   // octave bandwidth without the warping correction
        bool isInverted = false;// low- and high-pass with inverted polarity
        bool isGainQ = false;   // "gain" is the Q
    };

    CAudioFilterRBJGen() = default;

    // --- configuration: while the description loads ---
    // Sets the type and options; false (nothing changed) when the type is not 0 to 10.
    bool configure(int type, const Options& options) noexcept;

    // --- life cycle: while the description loads ---
    [[nodiscard]] CError* init() override;

    // --- design: any thread ---
    void designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values, CDCDAWContext* context,
                     double sampleRate) const noexcept override;

private:
    int mType = kLowPass;
    Options mOptions;
};

} // namespace tal
