// The real-FFT kernels compiled for dispatch level 0 (see Fft.cmake for the instruction-set flags).
#include "fft/FftKernels.h"

#include "fft/FftMemory.h"
#include "fft/FftPlan.h"

#include <immintrin.h>

#include <cstring>

#define TAL_FFT_LEVEL 0

namespace tal::fft::level0 {
#include "fft/FftKernels.inc"
}  // namespace tal::fft::level0
