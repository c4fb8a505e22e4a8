#pragma once

namespace tal {

// The numerator shapes of the biquad process routines: common (q0, q1, q2 all used), low-pass
// (b1 = 2 b0, b2 = b0), high-pass (b1 = -2 b0, b2 = b0), band-pass (b1 = 0, b2 = -b0) and notch
// (b2 = b0). Each shape's arithmetic is fixed here once; every routine that runs a section, one
// sample at a time or several sections side by side, evaluates it through numerator().
enum class BiquadShape { Common, LowPass, HighPass, BandPass, Notch };

// Which of q0..q2 a numerator shape reads.
constexpr bool usesCoefficient(BiquadShape s, int j) {
    switch (s) {
        case BiquadShape::Common: return true;
        case BiquadShape::Notch: return j < 2;
        default: return j == 0;
    }
}

// The output of a direct-form II section from its internal signal w and history w1, w2. V is a
// double or a vector of doubles (each lane computes exactly what the scalar form computes).
// Always inlined: sources compiled for wider instruction sets use it too, and an out-of-line copy
// built with their flags must never be what a baseline caller links to.
template <BiquadShape S, class V>
[[gnu::always_inline]] inline V numerator(const V* c, V w, V w1, V w2) {
    if constexpr (S == BiquadShape::Common)
        return c[0] * w + c[1] * w1 + c[2] * w2;
    else if constexpr (S == BiquadShape::LowPass)
        return c[0] * (w + 2.0 * w1 + w2);
    else if constexpr (S == BiquadShape::HighPass)
        return c[0] * (w - 2.0 * w1 + w2);
    else if constexpr (S == BiquadShape::BandPass)
        return c[0] * (w - w2);
    else
        return c[0] * (w + w2) + c[1] * w1;
}

} // namespace tal
