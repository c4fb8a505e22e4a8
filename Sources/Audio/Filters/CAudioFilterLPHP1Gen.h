#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

namespace tal {

// The first-order low/high-pass designer ("audio:fltgen-lphp1"): one first-order stage from
// "freq" alone. Type 0 is a one-pole low-pass with gain 1/sqrt 2 at the corner, type 1 the
// complementary high-pass (input minus low-pass), type 2 that high-pass rescaled to -3 dB at the
// corner. Read-only after configure; see CAudioFilterGen.
class CAudioFilterLPHP1Gen : public CAudioFilterGen {
public:
    enum Type { kLowPass = 0, kHighPass = 1, kHighPassCornerGain = 2, kTypeCount = 3 };

    CAudioFilterLPHP1Gen() = default;

    // --- configuration: while the description loads ---
    // False (nothing changed) when the type is not 0 to 2.
    bool configure(int type) noexcept;

    // --- life cycle: while the description loads ---
    [[nodiscard]] CError* init() override;

    // --- design: any thread ---
    void designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values, CDCDAWContext* context,
                     double sampleRate) const noexcept override;

private:
    int mType = kLowPass;
};

} // namespace tal
