#pragma once

#include "fft/RealFFTPlanHeader.h"

#include <cstdint>

namespace tal::fft {

// The order thresholds and large-plan schedule of one instruction-set level. Levels 0 and 1 share
// one set; the plan shapes (and so the reported sizes) differ between levels, the transform does not.
struct FftLevelParams {
    int directMax;           // highest order done by a direct real transform
    int splitOnlyMax;        // highest order done by a direct half-length complex transform + split
    int complexMax;          // highest order done by the single-sweep complex transform
    int twoLevelSplitOrder;  // from this order on the split tables take their two-level form
    int innerLimit;          // large plans: largest sub-transform order done in one sweep
    int twoPartIndexFrom;    // large plans: complex order from which the index table has two parts
    int blockOrder;          // large plans: tile order of the blocked bit reversal
    int largeMinWork;        // large plans: minimum scratch once the index table has two parts
    const std::int8_t* splitOrder;  // large plans, by complex order: log2 of the sub-block count
    const std::int8_t* workOrder;   // large plans, by complex order: log2 of one column block
    int copyFirstFrom;              // large plans out of place: from this complex order the source is
                                    // copied to the destination first and permuted there
    std::int32_t copyChunkBytes;    // ... in pieces of this many bytes
    int lanes;                      // complex values per vector in the split layout (2 or 4)
    int blockTransformFrom;         // single-sweep orders from this one on: bit reversal, then the
                                    // in-place block transform (below it: the self-sorting sweep)
};

// Parameters of a dispatch level 0..4 (levels 0 and 1 give the same set).
const FftLevelParams& fftLevelParams(int level);

// The three byte sizes realFFTGetSize reports for a valid order and level.
struct FftPlanSizes {
    std::int64_t spec = 0, init = 0, work = 0, tempSize = 0;
};
FftPlanSizes fftPlanSizes(int level, int order);

// The shared bodies of the per-level realFFTGetSize and realFFTInit entry points.
std::int32_t fftGetSize(int level, std::int32_t order, std::int32_t flag, std::int32_t hint,
                        std::int32_t* specSize, std::int32_t* initSize, std::int32_t* workSize);
std::int32_t fftInit(int level, RealFFTSpec** spec, std::int32_t order, std::int32_t flag,
                     std::int32_t hint, std::uint8_t* specMem, std::uint8_t* initBuf);

// The radices of the single-sweep complex transform of 2^m points (m >= 3), first stage first.
// Returns the number of stages. Plan builder and transform both follow it.
int fftStagePlan(int m, int radices[16]);

// The radices of the block transform of 2^s bit-reversed points (large plans), first pass first:
// radix 4 for the one or two passes that make the rest a multiple of three bits, then radix 8.
int fftBlockPlan(int s, int radices[16]);

// Stage twiddles (fftStagePlan order) of the 2^m-point complex transform for m = 4..6: the
// transforms of the plans whose size table leaves no room for twiddles.
const double* fftSmallStageTwiddles(int m);

// Quarter-wave sine source: s[j] = sin(2 pi j / 2^order) for j = 0..2^order / 4.
struct FftSineSource {
    const double* s;
    int order;
    // cos(2 pi a / 2^p) and -sin(2 pi a / 2^p) for 0 <= a < 2^p, 2 <= p <= order.
    void cosNegSin(std::int64_t a, int p, double& c, double& ns) const noexcept;
};

// Table builders. Each writes at out and returns the first 64-byte boundary at or after the end of
// what it reserved.
std::uint8_t* buildQuarterSineTable(int order, double* out);
std::uint8_t* buildBitRevTable(int m, std::int32_t* out);
std::uint8_t* buildLargeIndexTable(int m, int blockOrder, std::int32_t* out);
std::uint8_t* buildSwapList(int bits, std::int32_t* out);
std::uint8_t* buildStageTwiddles(int m, const FftSineSource& src, double* out);
std::uint8_t* buildSplitTable(int order, bool twoLevel, const FftSineSource& src, double* out);
std::uint8_t* buildSplitTableB(int order, bool twoLevel, const FftSineSource& src, double* out);
// Twiddles of the block transform of 2^s points: per pass after the first, per unit of lanes
// positions j and per power q = 1..R-1, lanes real parts then lanes imaginary parts of
// e^(-2 pi i q j / size after the pass). At most 16 * 2^s bytes.
std::uint8_t* buildBlockTwiddles(int s, int lanes, const FftSineSource& src, double* out);
// Twiddles of the column passes of one decomposition depth (2^m values as 2^a rows of 2^(m-a)),
// in the order the passes read them: per column block of K columns, per pass, per unit of lanes
// positions; the last radix-4 pass stores (B, A) for the first half of its positions only.
// At most 16 * 2^(m-1) bytes.
std::uint8_t* buildColumnTwiddles(int m, int a, std::int64_t K, int lanes, const FftSineSource& src, double* out);
// Lays out a large plan's block-transform table and its column tables of depth and deeper from
// pos on (sets spec->twiddleTable and spec->largeTwiddles); returns the end.
std::uint8_t* buildLargeBody(const FftLevelParams& lp, RealFFTSpec* spec, int m, int depth, const FftSineSource& src,
                             std::uint8_t* pos);
// The radices of the column passes that take a bits: radix 4 while 2, 4 or 6 bits are left, else 8.
int fftColumnPlan(int a, int radices[8]);

inline std::int64_t align64(std::int64_t x) { return (x + 63) & ~std::int64_t{63}; }
template <class T> inline std::uint8_t* alignPtr64(T* p) {
    return reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(p) + 63) & ~std::uintptr_t{63});
}

}  // namespace tal::fft
