#pragma once

#include "fft/RealFFTPlanHeader.h"

#include <cstdint>

// The per-level members of the real FFT. FftKernels.inc is compiled once per instruction-set level
// (FftLevel0.cpp, FftLevel2.cpp, FftLevel3.cpp, FftLevel4.cpp, each with its own -m flags) into
// its own namespace; the dispatch tables pick one set at start-up.
#define TAL_FFT_DECLARE_LEVEL(ns)                                                                   \
    namespace tal::fft::ns {                                                                        \
    /* The forward driver: status 0, -8 (null spec, src or dst), -17 (id not 9), -9 (no memory). */ \
    std::int32_t realFFTForward(const double* src, double* dst, const RealFFTSpec* spec,           \
                                std::uint8_t* work);                                                \
    /* Direct real transform of 2^order points, orders 0..5, packed output. factor null: plain; */ \
    /* otherwise the first-step sums and differences take it. src may equal dst.                 */ \
    void realDFTDirect(int order, const double* src, double* dst, const double* factor);            \
    }

TAL_FFT_DECLARE_LEVEL(level0)
TAL_FFT_DECLARE_LEVEL(level2)
TAL_FFT_DECLARE_LEVEL(level3)
TAL_FFT_DECLARE_LEVEL(level4)
