// The real-FFT kernels compiled for dispatch level 2 (see Fft.cmake for the instruction-set flags).
#include "fft/FftKernels.h"

#include "fft/FftMemory.h"
#include "fft/FftPlan.h"

#include <immintrin.h>

#include <cstring>

#define TAL_FFT_LEVEL 2

namespace tal::fft::level2 {
#include "fft/FftKernels.inc"
}  // namespace tal::fft::level2
