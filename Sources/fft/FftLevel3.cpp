// The real-FFT kernels compiled for dispatch level 3 (see Fft.cmake for the instruction-set flags).
#include "fft/FftKernels.h"

#include "fft/FftMemory.h"
#include "fft/FftPlan.h"

#include <immintrin.h>

#include <cstring>

#define TAL_FFT_LEVEL 3

namespace tal::fft::level3 {
#include "fft/FftKernels.inc"
}  // namespace tal::fft::level3
