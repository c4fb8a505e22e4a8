#include "fft/FftMemory.h"

#include <cstdlib>
#include <cstring>

namespace tal {

std::int32_t fftZero(void* address, std::int32_t bytes) {
    if (!address) return -8;
    if (bytes <= 0) return -6;
    std::memset(address, 0, static_cast<std::size_t>(bytes));
    return 0;
}

std::int32_t fftZeroDoubles(double* data, std::int32_t count) {
    if (!data) return -8;
    if (count <= 0) return -6;
    std::memset(data, 0, static_cast<std::size_t>(count) * sizeof(double));
    return 0;
}

std::int32_t fftScale(double* data, std::int32_t count, double factor) {
    if (!data) return -8;
    if (count <= 0) return -6;
    if (factor == 1.0) return 0;
    if (factor == 0.0) return fftZeroDoubles(data, count);
    for (std::int32_t i = 0; i < count; ++i) data[i] *= factor;
    return 0;
}

std::int32_t fftCopy(const void* src, void* dst, std::int32_t bytes) {
    if (!src || !dst) return -8;
    if (bytes <= 0) return -6;
    std::memcpy(dst, src, static_cast<std::size_t>(bytes));
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
