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

// The coefficients of a morph sample: i_j = a q_j + b t_j for the numerator coefficients the
// shape uses and for i3, i4; the others keep q_j.
template <BiquadShape S, class V>
[[gnu::always_inline]] inline void interpolateCoefficients(const V* q, const V* t, V a, V b, V* i) {
#pragma GCC unroll 3
    for (int j = 0; j < 3; ++j)
        i[j] = usesCoefficient(S, j) ? a * q[j] + b * t[j] : q[j];
    i[3] = a * q[3] + b * t[3];
    i[4] = a * q[4] + b * t[4];
}

// One morph sample of input x: the main filter with the interpolated coefficients i on history
// w1, w2, the old filter with q on u1, u2, the output crossfaded a (old) to b (main); the
// histories move on.
template <BiquadShape S, class V>
[[gnu::always_inline]] inline V morphSample(const V* i, const V* q, V x, V a, V b, V& w1, V& w2, V& u1, V& u2) {
    const V wa = x + i[3] * w1 + i[4] * w2;
    const V ya = numerator<S>(i, wa, w1, w2);
    const V wb = x + q[3] * u1 + q[4] * u2;
    const V yb = numerator<S>(q, wb, u1, u2);
    w2 = w1;
    w1 = wa;
    u2 = u1;
    u1 = wb;
    return a * yb + b * ya;
}

} // namespace tal
