#pragma once

#include "fft/RealFFTPlanHeader.h"

#include <cstdint>

namespace tal {

class CCpuInfo;

// --- start-up ---
// Chooses the instruction-set level from the processor (4 AVX with OS support, 3 SSE4.1,
// 2 SSSE3, 1 SSE3, else 0) once, before any FFT runs. Returns 0, 36 (no SSE3 or no CPUID: level 0)
// or 20 (not GenuineIntel; the level still follows the features).
std::int32_t initFFTCPUDispatch();

// Selects the level of a processor code (for example 0x21: level 2, features 0x1F) and takes the
// code's feature set as this processor's from then on. -1 runs initFFTCPUDispatch. Returns 0, 36
// (a code without a level of its own, or one naming a level this processor cannot run: nothing
// changes) or 21 (unknown code: nothing changes).
std::int32_t selectFFTDispatchByCode(std::int32_t code);
// The same, judged against the given processor (tests describe processors with fewer features).
std::int32_t selectFFTDispatchByCodeOn(std::int32_t code, const CCpuInfo& cpu);
// Constant answers about a processor code: the first allows every code (it is asked before level 4
// is chosen), the second refuses every code.
std::int32_t fftProcessorCodeAllowed(std::int32_t code);
std::int32_t fftProcessorCodeRefused(std::int32_t code);

// --- the three entry points: each forwards to the chosen level's variant, unchanged ---
// Forward real FFT of 2^spec->order doubles into the packed spectrum ([0] DC, [1] Nyquist, then
// (re, im) of bins 1..N/2-1). src may equal dst. work: a block of the reported work size (any
// alignment), or null to allocate one per call (never on the audio thread).
std::int32_t realFFTForward(const double* src, double* dst, const RealFFTSpec* spec, std::uint8_t* work);
// Byte sizes of the plan block, the init scratch and the work buffer of one order and flag.
std::int32_t realFFTGetSize(std::int32_t order, std::int32_t flag, std::int32_t hint, std::int32_t* specSize,
                            std::int32_t* initSize, std::int32_t* workSize);
// Builds the plan inside specMem (at its first 64-byte boundary) and stores its address in *spec.
// initBuf is scratch, only needed when its reported size is not 0, and may be freed afterwards.
std::int32_t realFFTInit(RealFFTSpec** spec, std::int32_t order, std::int32_t flag, std::int32_t hint,
                         std::uint8_t* specMem, std::uint8_t* initBuf);

// --- processor information ---
std::int32_t fftDispatchLevel();
// The feature mask of this processor: 0, 36 without CPUID, -8 for a null pointer.
std::int32_t getCPUFeatures(std::uint64_t* mask);
// The feature subset the chosen level relies on.
std::uint64_t getEnabledFeatures();
// 1 when every bit of features is enabled.
std::int32_t testEnabledFeatures(std::uint64_t features);
// Largest cache of the processor, detected once: returns the state (0, 36, 37) and writes the size.
std::int32_t getLargestCacheSize(std::int32_t* size);

// --- tests ---
// The level this processor supports (what initFFTCPUDispatch chooses).
int fftNativeLevel();
// Forces a level for tests; refuses (false) a level above the native one. Plans must be built and
// used at the same level.
bool setFFTDispatchLevelForTesting(int level);
// Forgets the cached feature mask (also one set by selectFFTDispatchByCode); the next query detects
// it again.
void forgetCPUFeaturesForTesting();

}  // namespace tal
