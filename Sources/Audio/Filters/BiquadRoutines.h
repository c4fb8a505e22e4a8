#pragma once

#include "Audio/Filters/BiquadShape.h"

#include <cstdint>

namespace tal {

struct CDCDAWCall;

// The state block of a second-order stage run by the biquad routines. Coefficients are kept as
// q0 = b0, q1 = b1, q2 = b2, q3 = -a1, q4 = -a2 of the normalised stage.
struct CBiquadState {
    double q[5];            // current coefficients
    double w1, w2;          // main filter history (direct form II)
    double u1, u2;          // history of the filter that keeps the old coefficients during a morph
    double t[5];            // target coefficients of the running morph
    double h, hp;           // crossfade oscillator: h = 0.5 cos(pi k / n) at the k-th morph sample
    double f;               // oscillator factor 2 cos(pi / n)
    std::int32_t remaining; // samples left in the morph, 0 when none runs
    double p[5];            // coefficients that wait for the end of the running morph
    std::uint8_t pending;   // p holds coefficients
    std::int32_t n;         // morph length in samples
};

// The biquad signal routines. The initialise and update routines take (state, coefficients) with
// the coefficient block holding b0, b1, b2, a1, a2 and the frame's count at least 5 (calls with
// fewer coefficients change nothing) and its real number the sample rate. The process routines
// take (output, state, input) and filter `count` samples in direct form II with the numerator
// shape their name gives; output and input may be the same block. A morph lasts 25 ms.
// The paired forms take (output 0, state 0, input 0, output 1, state 1, input 1) and give the
// results of two single calls; the output of one channel must not be the input of the other.
void DCDAW_fltbiqi(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqu(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqcommon(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqlp(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqhp(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqbp(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqnotch(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqcommon_pair(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqlp_pair(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqhp_pair(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqbp_pair(CDCDAWCall& call) noexcept;
void DCDAW_fltbiqnotch_pair(CDCDAWCall& call) noexcept;

// For the side-by-side cascade: the bookkeeping after a stretch of `steps` morph samples that the
// caller computed itself (the morph ends when none is left: the targets become current and
// pending coefficients start the next morph).
void finishBiquadMorphSteps(CBiquadState& state, int steps) noexcept;

} // namespace tal
