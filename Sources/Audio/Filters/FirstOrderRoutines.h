#pragma once

#include <cstdint>

namespace tal {

struct CDCDAWCall;

// The state block of a first-order stage: one one-pole smoother s += k (x - s) and an output gain.
// k = 1 + a1 and g = b1 / a1 of the normalised stage (b0, b1, a1).
struct CFirstOrderState {
    double k, g;            // current smoothing coefficient and output gain
    double s;               // smoother value
    double tk, tg;          // targets of the running glide
    double h, hp;           // crossfade oscillator: h = 0.5 cos(pi j / n) at the j-th glide sample
    double f;               // oscillator factor 2 cos(pi / n)
    std::int32_t remaining; // samples left in the glide, 0 when none runs
    double pk, pg;          // values that wait for the end of the running glide
    std::uint8_t pending;
    std::int32_t n;         // glide length in samples
};

// The first-order signal routines. Initialise and update take (state, coefficients) with the
// coefficient block b0, b1, a1 (count at least 3; fewer changes nothing) and the sample rate as
// the frame's real number; a glide lasts 15 ms. The process routines take (output, state, input):
// low-pass y = s, high-pass y = x - s, high-pass with gain y = g (x - s).
void DCDAW_fltlphp1i(CDCDAWCall& call) noexcept;
void DCDAW_fltlphp1u(CDCDAWCall& call) noexcept;
void DCDAW_fltlp1(CDCDAWCall& call) noexcept;
void DCDAW_flthp1(CDCDAWCall& call) noexcept;
void DCDAW_flthp1g(CDCDAWCall& call) noexcept;

} // namespace tal
