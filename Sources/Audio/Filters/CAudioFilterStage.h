#pragma once

namespace tal {

struct CDCDAWFilterRoutines;

// One designed stage, normalised by a0:
//   H(z) = (b0 + b1 z^-1 [+ b2 z^-2]) / (1 + a1 z^-1 [+ a2 z^-2]),
// first order (b0, b1 / a1) or second order (b0, b1, b2 / a1, a2). The denominator keeps this
// sign; the signal routines negate it when they load it. `routines` is the routine set in the
// designing context's filter workspace, null when the stage was designed without a context.
struct CAudioFilterStage {
    static constexpr int kMaxCoefficients = 5;

    const CDCDAWFilterRoutines* routines = nullptr;
    int numeratorCount = 0;
    double numerator[3] = {};
    int denominatorCount = 0;
    double denominator[2] = {};

    bool isSecondOrder() const noexcept { return denominatorCount == 2; }
    int coefficientCount() const noexcept { return numeratorCount + denominatorCount; }
    // Writes the numerator followed by the denominator (the layout of a coefficient block) and
    // returns the count written.
    int copyCoefficients(double* to) const noexcept;
    // |H| at a frequency for a sample rate (the response that the editor draws).
    double magnitudeAt(double freqHz, double sampleRate) const noexcept;
};

} // namespace tal
