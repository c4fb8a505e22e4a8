// The biquad cascade kernel at the AVX-512 level (compiled with -mavx512f -mavx512vl, never FMA:
// the project builds with -ffp-contract=off): the AVX kernel's 256-bit vectors with 32 registers
// instead of 16, so that a morph's coefficients, oscillators and histories stay in registers.
#include "Audio/Filters/BiquadCascadeKernels.h"

#include "Audio/Filters/BiquadRoutines.h"

#include <immintrin.h>

namespace tal {

namespace {
constexpr int kMaxGroups = 2;
constexpr int kWidth = 2;
#include "Audio/Filters/BiquadCascadeKernel.inc"
} // namespace

void runBiquadStatesAvx512(CBiquadState* const* states0, CBiquadState* const* states1, const BiquadShape* shapes,
                           int count, double* buf, int n) noexcept {
    runStates(states0, states1, shapes, count, buf, n);
}

} // namespace tal
