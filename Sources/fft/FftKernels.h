#pragma once

#include "fft/RealFFTPlanHeader.h"

#include <cstdint>

// The per-level members of the real FFT. FftKernels.inc is compiled once per instruction-set level
// (FftLevel0.cpp, FftLevel2.cpp, FftLevel3.cpp, FftLevel4.cpp, each with its own -m flags) into
// its own namespace; the dispatch tables pick one set at start-up.
namespace tal::fft {
struct FftLevelParams;
}

#define TAL_FFT_DECLARE_LEVEL(ns)                                                                   \
    namespace tal::fft::ns {                                                                        \
    /* The forward driver: status 0, -8 (null spec, src or dst), -17 (id not 9), -9 (no memory). */ \
    std::int32_t realFFTForward(const double* src, double* dst, const RealFFTSpec* spec,           \
                                std::uint8_t* work);                                                \
    /* Direct real transform of 2^order points, orders 0..5, packed output. factor null: plain; */ \
    /* otherwise the first-step sums and differences take it. src may equal dst.                 */ \
    void realDFTDirect(int order, const double* src, double* dst, const double* factor);            \
    /* Transforms in place n (2^5..2^17) complex values given in bit-reversed order with the    */ \
    /* twiddles of buildBlockTwiddles; the result is in natural order, interleaved complex      */ \
    /* (interleavedOut 1) or in the split layout (0: units of lanes real then lanes imaginary  */ \
    /* parts). buffer is not needed (the block is worked on in place).                         */ \
    void complexFFTBlock(double* data, std::int64_t n, const double* twiddles, double* buffer,     \
                         std::int32_t interleavedOut);                                              \
    /* The DFT of n natural-order complex values into dst (may be src), interleaved: the values */ \
    /* go to dst in bit-reversed order, then the block transform runs there in place.           */ \
    void complexFFTBitRev(const double* src, double* dst, std::int64_t n, const double* twiddles,  \
                          const std::int32_t* bitRevTable, double* buffer);                         \
    /* Puts n complex values into bit-reversed order by 4 x 4 groups through the plain          */ \
    /* bit-reversal table of log2 n (entry i < n/16: offset in doubles of block i's partner).    */ \
    void bitReverseInPlace(double* data, std::int64_t n, const std::int32_t* blockTable);          \
    void bitReverseCopy(const double* src, double* dst, std::int64_t n, const std::int32_t* blockTable); \
    /* Copies rows of cols complex values (row r at src + r * rowStride values) to one block,   */ \
    /* and back; toInterleaved converts the split layout to interleaved complex on the way.      */ \
    void gatherBlock(const double* src, double* dst, std::int32_t rowStride, std::int32_t rows,    \
                     std::int32_t cols);                                                            \
    void scatterBlock(double* dst, const double* src, std::int32_t rowStride, std::int32_t rows,   \
                      std::int32_t cols, std::int32_t toInterleaved);                               \
    /* One in-place decimation-in-time pass over groups of R * w values in the split layout;    */ \
    /* radix 4 with one group is the last pass, with twiddles for half its positions.            */ \
    void radix8ColumnPass(double* block, std::int32_t w, std::int32_t groups, const double* twiddles); \
    void radix4ColumnPass(double* block, std::int32_t w, std::int32_t groups, const double* twiddles); \
    /* Transforms in place the bit-reversed block of 2^L values by the schedule of lp and the   */ \
    /* plan's block and column tables of this depth (deeper when the rows are still too long);  */ \
    /* interleaved result at depth 0, split layout deeper. Scales each row when the plan does.  */ \
    void largeComplexFFTStep(const RealFFTSpec* spec, const FftLevelParams& lp, double* data, int L, int depth, \
                             double* buffer);                                                       \
    }

TAL_FFT_DECLARE_LEVEL(level0)
TAL_FFT_DECLARE_LEVEL(level2)
TAL_FFT_DECLARE_LEVEL(level3)
TAL_FFT_DECLARE_LEVEL(level4)
