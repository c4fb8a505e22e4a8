#include "fft/FftMemory.h"

#include "fft/CCpuInfo.h"
#include "fft/FftDispatch.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tal {

namespace {

constexpr std::int64_t kStreamingFloor = 524288;        // levels 0..3: only fills above 512 KiB
constexpr std::int64_t kWideStreamingFloor = 2097152;   // level 4: only fills above 2 MiB

// Zeroes with 16-byte non-temporal stores (they bypass the caches), ordinary stores for the
// unaligned head and the tail, then a store fence.
void zeroNonTemporal(std::uint8_t* p, std::int64_t n) {
    const std::int64_t head = std::min<std::int64_t>(n, (16 - static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(p) & 15)) & 15);
    std::memset(p, 0, static_cast<std::size_t>(head));
    p += head;
    n -= head;
    const __m128i zero = _mm_setzero_si128();
    for (; n >= 64; n -= 64, p += 64) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(p), zero);
        _mm_stream_si128(reinterpret_cast<__m128i*>(p + 16), zero);
        _mm_stream_si128(reinterpret_cast<__m128i*>(p + 32), zero);
        _mm_stream_si128(reinterpret_cast<__m128i*>(p + 48), zero);
    }
    for (; n >= 16; n -= 16, p += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(p), zero);
    _mm_sfence();
    std::memset(p, 0, static_cast<std::size_t>(n));
}

constexpr std::int64_t kCopyStreamingFloor = 1048576;  // copies from 1 MiB may stream
constexpr std::int64_t kCopyPiece = 262144;            // streaming copies go in 256 KiB pieces

// Copies with 16-byte non-temporal stores: the destination's unaligned head with an ordinary copy,
// then 256 KiB pieces, each source piece first read once per 64-byte line so that the loads that
// follow hit the cache, then a store fence and the tail.
void copyNonTemporal(const std::uint8_t* src, std::uint8_t* dst, std::int64_t n) {
    const std::int64_t head = std::min<std::int64_t>(n, (16 - static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(dst) & 15)) & 15);
    std::memcpy(dst, src, static_cast<std::size_t>(head));
    src += head;
    dst += head;
    n -= head;
    while (n >= 16) {
        const std::int64_t piece = std::min(n & ~std::int64_t{15}, kCopyPiece);
        volatile std::uint8_t sink = 0;
        for (std::int64_t i = 0; i < piece; i += 64) sink = static_cast<std::uint8_t>(sink + src[i]);
        for (std::int64_t i = 0; i < piece; i += 16)
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
        src += piece;
        dst += piece;
        n -= piece;
    }
    _mm_sfence();
    std::memcpy(dst, src, static_cast<std::size_t>(n));
}

// The in-place bit reversal of n elements by a swap list (see bitReverseSwap32). E is the element:
// a 32-bit value or a complex double.
template <class E>
void permuteBySwapList(E* a, std::int64_t n, const std::int32_t* list) {
    if (n < 4) return;
    E* first = a;
    E* second = a + n / 2;
    // A list value v names the two-element unit at element 2 * (v / 4) of each half.
    const auto unit = [](std::int32_t v) { return static_cast<std::int64_t>(v / 4) * 2; };
    const std::int32_t* entry = list;
    for (; *entry != 0; entry += 2) {
        const std::int64_t d = unit(entry[0]), e = unit(entry[1]);
        const E fd0 = first[d], fd1 = first[d + 1], sd0 = second[d], sd1 = second[d + 1];
        first[d] = first[e];
        first[d + 1] = second[e];
        second[d] = first[e + 1];
        second[d + 1] = second[e + 1];
        first[e] = fd0;
        first[e + 1] = sd0;
        second[e] = fd1;
        second[e + 1] = sd1;
    }
    // Self-reversed units, starting with unit 0 (the 0 that ended the pairs) up to the final 0.
    do {
        const std::int64_t d = unit(*entry);
        const E t = first[d + 1];
        first[d + 1] = second[d];
        second[d] = t;
        ++entry;
    } while (*entry != 0);
}

struct Complex {
    double re, im;
};

}  // namespace

std::int64_t fftStreamingFillThreshold(const CCpuInfo& cpu) {
    if (!cpu.hasCpuid() || !cpu.isGenuineIntel()) return 0;
    const std::int32_t bytes = cpu.lookupCacheDescriptor();
    return bytes >= kStreamingFloor ? bytes : 0;
}

bool fftFillStreams(std::int64_t bytes, const CCpuInfo& cpu) {
    if (bytes <= kStreamingFloor) return false;
    const std::int64_t cache = fftStreamingFillThreshold(cpu);
    return cache > 0 && bytes >= cache;
}

std::int64_t fftCopyCacheShare(const CCpuInfo& cpu) {
    const std::int64_t cache = fftStreamingFillThreshold(cpu);
    if (cache <= 0) return 0;
    std::int64_t sharing = 1;
    if (cpu.maxLeaf() >= 4) {
        std::uint32_t r[4];
        cpu.cpuid(4, 0, r);
        sharing = ((r[0] >> 26) & 0x3F) + 1;
    }
    return cache / sharing;
}

bool fftCopyStreams(std::int64_t bytes, const CCpuInfo& cpu) {
    if (bytes < kCopyStreamingFloor) return false;
    const std::int64_t share = fftCopyCacheShare(cpu);
    return share > 0 && bytes >= share / 2;
}

void* fftCopyNonTemporalForTesting(const void* src, void* dst, std::int32_t bytes) {
    if (bytes > 0) copyNonTemporal(static_cast<const std::uint8_t*>(src), static_cast<std::uint8_t*>(dst), bytes);
    return dst;
}

bool fftWideFillStreams(std::int64_t bytes, std::int32_t cacheState, std::int32_t cacheSize) {
    return bytes > kWideStreamingFloor && cacheState == 0 && cacheSize > 0 && cacheSize < bytes;
}

void* fftZeroBytes(void* address, std::int32_t bytes) {
    if (bytes <= 0) return address;
    // The cache is asked on every large fill: the answer is cheap next to the fill itself.
    if (fftFillStreams(bytes, CCpuInfo())) zeroNonTemporal(static_cast<std::uint8_t*>(address), bytes);
    else std::memset(address, 0, static_cast<std::size_t>(bytes));
    return address;
}

void* fftZeroBytesStreaming(void* address, std::int32_t bytes) {
    if (bytes <= 0) return address;
    std::int32_t cache = 0;
    const std::int32_t state = getLargestCacheSize(&cache);
    if (fftWideFillStreams(bytes, state, cache)) zeroNonTemporal(static_cast<std::uint8_t*>(address), bytes);
    else std::memset(address, 0, static_cast<std::size_t>(bytes));
    return address;
}

void* fftZeroBytesNonTemporalForTesting(void* address, std::int32_t bytes) {
    if (bytes > 0) zeroNonTemporal(static_cast<std::uint8_t*>(address), bytes);
    return address;
}

std::int32_t fftZero(void* address, std::int32_t bytes) {
    if (!address) return -8;
    if (bytes <= 0) return -6;
    // Level 4 has its own rule: streaming only above 2 MiB and the largest cache.
    if (fftDispatchLevel() == 4) fftZeroBytesStreaming(address, bytes);
    else fftZeroBytes(address, bytes);
    return 0;
}

std::int32_t fftZeroDoubles(double* data, std::int32_t count) {
    if (!data) return -8;
    if (count <= 0) return -6;
    if (count > 0x7FFFFFFF / 8) {
        std::memset(data, 0, static_cast<std::size_t>(count) * sizeof(double));
        return 0;
    }
    return fftZero(data, count * 8);
}

std::int32_t fillInt32(std::int32_t value, std::int32_t* address, std::int32_t count) {
    if (!address) return -8;
    if (count <= 0) return -6;
    std::fill(address, address + count, value);
    return 0;
}

void bitReverseSwap32(std::uint32_t* values, std::int64_t count, const std::int32_t* swapList) {
    permuteBySwapList(values, count, swapList);
}

void bitReverseTile(double* tile, std::int64_t count, const std::int32_t* swapList) {
    static_assert(sizeof(Complex) == 16);
    permuteBySwapList(reinterpret_cast<Complex*>(tile), count, swapList);
}

std::int32_t fftScale(double* data, std::int32_t count, double factor) {
    if (!data) return -8;
    if (count <= 0) return -6;
    if (factor == 1.0) return 0;
    if (factor == 0.0) return fftZeroDoubles(data, count);
    std::int32_t i = 0;
    // An 8-byte aligned vector is scaled singly up to its first 16-byte boundary, then four at a
    // time; long vectors fetch ahead past the caches (each value is read once).
    if ((reinterpret_cast<std::uintptr_t>(data) & 7) == 0)
        for (; i < count && (reinterpret_cast<std::uintptr_t>(data + i) & 15) != 0; ++i) data[i] *= factor;
    const __m128d f = _mm_set1_pd(factor);
    const bool prefetch = count - i > 131072;
    for (; i + 4 <= count; i += 4) {
        if (prefetch) _mm_prefetch(reinterpret_cast<const char*>(data + i + 64), _MM_HINT_NTA);
        _mm_storeu_pd(data + i, _mm_mul_pd(_mm_loadu_pd(data + i), f));
        _mm_storeu_pd(data + i + 2, _mm_mul_pd(_mm_loadu_pd(data + i + 2), f));
    }
    for (; i < count; ++i) data[i] *= factor;
    return 0;
}

std::int32_t fftCopy(const void* src, void* dst, std::int32_t bytes) {
    if (!src || !dst) return -8;
    if (bytes <= 0) return -6;
    // Copies of at least half the per-processor share of the largest cache stream past the caches;
    // the cache is asked only for copies that could stream.
    if (bytes >= kCopyStreamingFloor && fftCopyStreams(bytes, CCpuInfo()))
        copyNonTemporal(static_cast<const std::uint8_t*>(src), static_cast<std::uint8_t*>(dst), bytes);
    else std::memcpy(dst, src, static_cast<std::size_t>(bytes));
    return 0;
}

FftAllocHooks& fftAllocHooks() {
    static FftAllocHooks hooks{&std::malloc, &std::calloc, &std::realloc, &std::free};
    return hooks;
}

void* fftAlignedAlloc(std::int32_t bytes) {
    if (bytes <= 0) return nullptr;
    void* raw = fftAllocHooks().allocate(static_cast<std::size_t>(bytes) + 72);
    if (!raw) return nullptr;
    // The largest multiple of 64 not above raw + 71: at least 8 bytes in, room for the raw address.
    const std::uintptr_t aligned = (reinterpret_cast<std::uintptr_t>(raw) + 71) & ~std::uintptr_t{63};
    std::memcpy(reinterpret_cast<void*>(aligned - 8), &raw, sizeof raw);
    return reinterpret_cast<void*>(aligned);
}

void fftAlignedFree(void* block) {
    if (!block) return;
    void* raw = nullptr;
    std::memcpy(&raw, static_cast<std::uint8_t*>(block) - 8, sizeof raw);
    fftAllocHooks().release(raw);
}

}  // namespace tal
