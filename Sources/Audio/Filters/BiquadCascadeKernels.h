#pragma once

#include "Audio/Filters/BiquadShape.h"

namespace tal {

struct CBiquadState;

// The cascade kernels of each instruction-set level. Each runs `count` sections in series, in
// place over n interleaved stereo frames (buf[2k] first channel, buf[2k + 1] second): section i
// filters the first channel with states0[i] and the second with states1[i], morphs included, every
// section with exactly the arithmetic of the single-section routine of its shape.
void runBiquadStatesSse2(CBiquadState* const* states0, CBiquadState* const* states1, const BiquadShape* shapes,
                         int count, double* buf, int n) noexcept;
void runBiquadStatesAvx(CBiquadState* const* states0, CBiquadState* const* states1, const BiquadShape* shapes,
                        int count, double* buf, int n) noexcept;
void runBiquadStatesAvx512(CBiquadState* const* states0, CBiquadState* const* states1, const BiquadShape* shapes,
                           int count, double* buf, int n) noexcept;

} // namespace tal
