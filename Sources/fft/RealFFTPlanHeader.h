#pragma once

#include <cstddef>
#include <cstdint>

namespace tal {

// Status codes of the real-FFT component (0 success, negative errors, positive notes).
enum : std::int32_t {
    kFFTNoError = 0,
    kFFTLengthError = -6,       // a fill, scale or copy was asked for a length of 0 or less
    kFFTNullPointer = -8,       // a required pointer is null
    kFFTMemoryError = -9,       // allocating a temporary buffer failed
    kFFTOrderError = -15,       // order outside 0..28
    kFFTFlagError = -16,        // flag not one of 1, 2, 4, 8
    kFFTContextMismatch = -17,  // the plan's identifier word is not 9
    kFFTNotIntel = 20,          // level chosen, but the vendor string is not GenuineIntel
    kFFTUnknownCode = 21,       // selectFFTDispatchByCode: code not in its table
    kFFTNotSupported = 36,      // no SSE3 (level 0), no CPUID, or cache detection impossible
    kFFTNotDeterminable = 37,   // largest cache size not determinable
};

// Scaling flags of realFFTGetSize and realFFTInit.
enum : std::int32_t {
    kFFTScaleForward = 1,  // forward result times 1/N
    kFFTScaleInverse = 2,  // inverse result times 1/N (stored only: there is no inverse transform)
    kFFTScaleSqrt = 4,     // both directions times 1/sqrt(N)
    kFFTNoScale = 8,       // no scaling
};

inline constexpr std::int32_t kRealFFTSpecId = 9;
inline constexpr std::int32_t kRealFFTMaxOrder = 28;

// The plan of one real-FFT order. It lives inside caller memory, at the first 64-byte boundary of
// the block given to realFFTInit, and points into that same block: never move or copy it.
// Read-only after realFFTInit returned 0; any number of threads may transform with it at once
// when each brings its own work buffer.
struct RealFFTSpec {
    std::int32_t id = 0;            // 9 for a usable plan; 0 after an init that rejected the flag
    std::int32_t order = 0;         // log2 of the transform length N
    std::int32_t scaleForward = 0;  // 1 when the forward transform multiplies by factor
    std::int32_t scaleInverse = 0;  // 1 when an inverse transform would scale
    double factor = 0.0;            // 1/N, 1/sqrt(N), or 0 without scaling
    std::int32_t hint = 0;          // the caller's hint, stored and never read
    std::int32_t tempSize = 0;      // bytes of scratch the forward transform needs (0 = none)
    std::int32_t reserved0 = 0;
    std::int32_t reserved1 = 0;
    std::int32_t* bitRevTable = nullptr;  // bit-reversal (or large-plan index) table, offset 136
    double* twiddleTable = nullptr;       // complex twiddles (large plans: innermost transform)
    void* reserved2[2] = {};
    double* splitTable = nullptr;   // forward real-split table
    double* splitTableB = nullptr;  // second split table (built, read by no transform)
    void* reserved3[3] = {};
    double* largeTwiddles[3] = {};  // large plans: one table per decomposition depth
};

static_assert(sizeof(RealFFTSpec) == 136);
static_assert(offsetof(RealFFTSpec, factor) == 16 && offsetof(RealFFTSpec, tempSize) == 28);
static_assert(offsetof(RealFFTSpec, bitRevTable) == 40 && offsetof(RealFFTSpec, splitTable) == 72);
static_assert(offsetof(RealFFTSpec, splitTableB) == 80 && offsetof(RealFFTSpec, largeTwiddles) == 112);

}  // namespace tal
