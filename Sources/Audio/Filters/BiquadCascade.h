#pragma once

#include "Audio/Filters/BiquadShape.h"

namespace tal {

class CCpuInfo;
struct CBiquadState;
struct CDCDAWRoutine;

// Biquad sections of a stereo pair run as one cascade: several sections side by side in wide
// registers, one a couple of frames behind the other, with the same results bit for bit as the
// single-section process routines run one after the other.

// The numerator shape of a biquad process routine; false for any other routine.
bool biquadShapeOf(const CDCDAWRoutine& routine, BiquadShape& shape) noexcept;

// Runs count sections in series over n frames of two channels: section i of channel c filters
// with states[c][i] and shape shapes[i], morphs included. Fastest when all sections are steady or
// all morph together; sections that morph while others do not go frame by frame. in and out of a
// channel may be the same block; the output of one channel must not be the input of the other.
// Audio thread; no allocation.
void runBiquadCascadePair(CBiquadState* const* states0, CBiquadState* const* states1, const BiquadShape* shapes,
                          int count, const double* in0, const double* in1, double* out0, double* out1, int n) noexcept;

// --- instruction-set levels: 0 baseline (SSE2), 1 AVX, 2 AVX-512 (F and VL) ---
// The level a processor supports.
int biquadCascadeLevelFor(const CCpuInfo& cpu);
// The level in use (this processor's, chosen once, unless a test forced a lower one).
int biquadCascadeLevel() noexcept;
// Forces a level for tests; refuses (false) a level this processor does not support.
bool setBiquadCascadeLevelForTesting(int level);

} // namespace tal
