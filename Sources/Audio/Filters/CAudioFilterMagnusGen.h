#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

namespace tal {

// The magnitude-matched designer ("audio:fltgen-magnus"): one second-order stage from "freq",
// "gain" (linear) and "bw" (octaves) whose magnitude matches prescribed gains at 0 Hz, at the
// centre and at a band edge, and whose gain at fs/2 is the matching analog section's gain there.
// Types 0 to 2 are peaking sections (cores A, B, C); 3 to 5 band-pass sections with unit centre
// gain (type 3 then scaled by the gain). Read-only after configure; see CAudioFilterGen.
class CAudioFilterMagnusGen : public CAudioFilterGen {
public:
    static constexpr int kTypeCount = 6;

    CAudioFilterMagnusGen() = default;

    // --- configuration: while the description loads ---
    // False (nothing changed) when the type is not 0 to 5.
    bool configure(int type) noexcept;

    // --- life cycle: while the description loads ---
    [[nodiscard]] CError* init() override;

    // --- design: any thread ---
    void designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values, CDCDAWContext* context,
                     double sampleRate) const noexcept override;

    // The three cores; frequencies are fractions of the sample rate; they write b0 b1 b2 a0 a1 a2.
    static void magnusDesignA(double G0, double wb, double GB, double w0, double G, double (&c)[6]) noexcept;
    static void magnusDesignB(double G0, double wb, double GB, double w0, double G, double (&c)[6]) noexcept;
    static void magnusDesignC(double G0, double G, double GB, double w0, double dw, double (&c)[6]) noexcept;

private:
    int mType = 0;
};

} // namespace tal
