#pragma once

#include <cstddef>
#include <cstdint>

namespace tal {

class CCpuInfo;

// Small memory services of the real-FFT component. They check their arguments and return a
// status: -8 for a null pointer, -6 for a length of 0 or less, else 0.

// Zeroes bytes bytes at address. Fills larger than the processor's largest cache use
// non-temporal stores, so that clearing them does not evict the working set (levels 0..3: above
// 512 KiB, level 4: above 2 MiB).
std::int32_t fftZero(void* address, std::int32_t bytes);
// The fills behind fftZero; they return address. fftZeroBytes is the rule of levels 0..3 (asks the
// cache descriptors on every fill), fftZeroBytesStreaming that of level 4 (the detected largest cache).
void* fftZeroBytes(void* address, std::int32_t bytes);
void* fftZeroBytesStreaming(void* address, std::int32_t bytes);
// The cache-size rules: the levels 0..3 threshold (the largest listed cache of 512 KiB or more on a
// GenuineIntel processor, else 0 = never stream) and whether a fill of bytes streams.
std::int64_t fftStreamingFillThreshold(const CCpuInfo& cpu);
bool fftFillStreams(std::int64_t bytes, const CCpuInfo& cpu);
bool fftWideFillStreams(std::int64_t bytes, std::int32_t cacheState, std::int32_t cacheSize);
// The copy rules: the per-processor share of the largest listed cache (the cache over the
// processors sharing it, CPUID leaf 4; 0 when no cache qualifies) and whether a copy of bytes
// streams (from 1 MiB and at least half that share).
std::int64_t fftCopyCacheShare(const CCpuInfo& cpu);
bool fftCopyStreams(std::int64_t bytes, const CCpuInfo& cpu);
// The non-temporal copy itself, whatever the size; returns dst.
void* fftCopyNonTemporalForTesting(const void* src, void* dst, std::int32_t bytes);
// The non-temporal fill itself, whatever the size.
void* fftZeroBytesNonTemporalForTesting(void* address, std::int32_t bytes);

// Stores value into count consecutive 32-bit slots: -8 for a null address, -6 for count <= 0.
std::int32_t fillInt32(std::int32_t value, std::int32_t* address, std::int32_t count);

// In-place bit reversal of count (a power of two, >= 4; smaller counts are left alone) elements by
// a swap list of buildSwapList(log2 count): the array is two halves of two-element units; each pair
// (d, e) of the list exchanges units d/4 and e/4 crosswise, then each self-reversed unit (from the
// 0 that ends the pairs to the final 0) exchanges its second element in the first half with its
// first element in the second half. Applying it twice restores the array.
void bitReverseSwap32(std::uint32_t* values, std::int64_t count, const std::int32_t* swapList);
// The same permutation of count complex doubles (a tile of the large transform's bit reversal).
void bitReverseTile(double* tile, std::int64_t count, const std::int32_t* swapList);
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
