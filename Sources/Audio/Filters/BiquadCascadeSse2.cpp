// The biquad cascade kernel at the baseline level: both channels of a section in one 128-bit
// register, four sections side by side.
#include "Audio/Filters/BiquadCascadeKernels.h"

#include "Audio/Filters/BiquadRoutines.h"

#include <immintrin.h>

namespace tal {

namespace {
constexpr int kMaxGroups = 4;
constexpr int kWidth = 1;
#include "Audio/Filters/BiquadCascadeKernel.inc"
} // namespace

void runBiquadStatesSse2(CBiquadState* const* states0, CBiquadState* const* states1, const BiquadShape* shapes,
                         int count, double* buf, int n) noexcept {
    runStates(states0, states1, shapes, count, buf, n);
}

} // namespace tal
