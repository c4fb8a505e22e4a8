#pragma once

#include <cstddef>
#include <cstdint>

namespace tal {

// Small memory services of the real-FFT component. They check their arguments and return a
// status: -8 for a null pointer, -6 for a length of 0 or less, else 0.

// Zeroes bytes bytes at address.
std::int32_t fftZero(void* address, std::int32_t bytes);
// Zeroes count doubles.
std::int32_t fftZeroDoubles(double* data, std::int32_t count);
// Multiplies count doubles in place by factor. Factor 1.0 leaves the data bit-identical; factor
// 0.0 writes +0.0 everywhere (also over NaN and infinite values); a NaN factor multiplies.
std::int32_t fftScale(double* data, std::int32_t count, double factor);
// Copies bytes bytes between regions that do not overlap.
std::int32_t fftCopy(const void* src, void* dst, std::int32_t bytes);

// A 64-byte aligned block of at least bytes bytes, or null for bytes <= 0 or when allocation fails.
// The block comes from the allocate hook; release it with fftAlignedFree (null is ignored).
void* fftAlignedAlloc(std::int32_t bytes);
void fftAlignedFree(void* block);

// The memory hooks behind fftAlignedAlloc and fftAlignedFree (the platform's malloc family by
// default). Tests replace them to inject allocation failures; set them before any FFT runs.
struct FftAllocHooks {
    void* (*allocate)(std::size_t);
    void* (*allocateZeroed)(std::size_t, std::size_t);
    void* (*reallocate)(void*, std::size_t);
    void (*release)(void*);
};
FftAllocHooks& fftAllocHooks();

}  // namespace tal
