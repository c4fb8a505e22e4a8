// The biquad cascade kernel at the AVX level (compiled with -mavx, never -mfma): two sections of
// both channels in one 256-bit register, two such registers side by side.
#include "Audio/Filters/BiquadCascadeKernels.h"

#include "Audio/Filters/BiquadRoutines.h"

#include <immintrin.h>

namespace tal {

namespace {
constexpr int kMaxGroups = 2;
constexpr int kWidth = 2;
#include "Audio/Filters/BiquadCascadeKernel.inc"
} // namespace

void runBiquadStatesAvx(CBiquadState* const* states0, CBiquadState* const* states1, const BiquadShape* shapes,
                        int count, double* buf, int n) noexcept {
    runStates(states0, states1, shapes, count, buf, n);
}

} // namespace tal
