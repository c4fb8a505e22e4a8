#include "fft/FftMemory.h"

#include "fft/FftPlan.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

namespace tal {
namespace {

// Every fill (the dispatching one, the two rules and the non-temporal stores themselves) clears
// exactly the given bytes at any alignment, across the non-temporal thresholds.
TEST(FftMemory, EveryFillClearsExactlyTheGivenBytes) {
    using Fill = void* (*)(void*, std::int32_t);
    const Fill fills[] = {&fftZeroBytes, &fftZeroBytesStreaming, &fftZeroBytesNonTemporalForTesting};
    for (Fill fill : fills) {
        for (int offset : {0, 1, 8, 13}) {
            for (std::int32_t bytes : {1, 15, 16, 17, 64, 65, 4099, 524289, 3 * 1048576 + 5}) {
                SCOPED_TRACE(std::to_string(offset) + " + " + std::to_string(bytes));
                std::vector<std::uint8_t> mem(static_cast<std::size_t>(bytes) + 128, 0xCD);
                std::uint8_t* p = mem.data() + 64 + offset;
                ASSERT_EQ(fill(p, bytes), p);
                const auto firstWrong = [&] {
                    for (std::size_t i = 0; i < mem.size(); ++i) {
                        const bool inside = mem.data() + i >= p && mem.data() + i < p + bytes;
                        if (mem[i] != (inside ? 0 : 0xCD)) return static_cast<std::ptrdiff_t>(i);
                    }
                    return std::ptrdiff_t{-1};
                };
                ASSERT_EQ(firstWrong(), -1);
            }
        }
    }
}

TEST(FftMemory, FillInt32StoresIntoExactlyTheSlots) {
    std::vector<std::int32_t> slots(12, 5);
    ASSERT_EQ(fillInt32(-7, slots.data() + 2, 9), 0);
    for (std::size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i], i >= 2 && i < 11 ? -7 : 5) << i;
    EXPECT_EQ(fillInt32(1, slots.data(), 0), -6);
    EXPECT_EQ(fillInt32(1, slots.data(), -1), -6);
    EXPECT_EQ(slots[0], 5);
    EXPECT_EQ(fillInt32(1, nullptr, 4), -8);
}

std::uint32_t reversed(std::uint32_t v, int bits) {
    std::uint32_t r = 0;
    for (int b = 0; b < bits; ++b) r |= ((v >> b) & 1u) << (bits - 1 - b);
    return r;
}

// The swap-list permutation reverses the index bits for every size, at 4- and 8-byte alignment,
// and a second application restores the array.
TEST(FftMemory, SwapListPermutationReversesTheIndexBits) {
    for (int bits = 2; bits <= 12; ++bits) {
        SCOPED_TRACE(bits);
        const std::size_t n = std::size_t{1} << bits;
        std::vector<std::int32_t> list(n + 64);
        fft::buildSwapList(bits, list.data());
        for (int offset : {0, 1}) {
            std::vector<std::uint32_t> store(n + 2);
            std::uint32_t* a = store.data() + offset;
            std::iota(a, a + n, 0u);
            bitReverseSwap32(a, static_cast<std::int64_t>(n), list.data());
            for (std::uint32_t e = 0; e < n; ++e) ASSERT_EQ(a[e], reversed(e, bits)) << e;
            bitReverseSwap32(a, static_cast<std::int64_t>(n), list.data());
            for (std::uint32_t e = 0; e < n; ++e) ASSERT_EQ(a[e], e);
        }
    }
    std::uint32_t small[2] = {1, 2};
    const std::int32_t empty[2] = {0, 0};
    bitReverseSwap32(small, 2, empty);
    EXPECT_EQ(small[1], 2u);
}

TEST(FftMemory, TilePermutationReversesComplexValues) {
    for (int bits : {10, 12}) {
        const std::size_t n = std::size_t{1} << bits;
        std::vector<std::int32_t> list(n + 64);
        fft::buildSwapList(bits, list.data());
        std::vector<double> tile(2 * n);
        for (std::size_t e = 0; e < n; ++e) {
            tile[2 * e] = static_cast<double>(e);
            tile[2 * e + 1] = -static_cast<double>(e);
        }
        bitReverseTile(tile.data(), static_cast<std::int64_t>(n), list.data());
        for (std::uint32_t e = 0; e < n; ++e) {
            ASSERT_EQ(tile[2 * e], static_cast<double>(reversed(e, bits))) << e;
            ASSERT_EQ(tile[2 * e + 1], -static_cast<double>(reversed(e, bits))) << e;
        }
    }
}

TEST(FftMemory, ZeroClearsExactlyTheGivenBytes) {
    for (int offset : {0, 1, 7, 15}) {
        for (std::int32_t bytes : {1, 3, 8, 15, 16, 63, 64, 136, 1000, 600 * 1024}) {
            SCOPED_TRACE(std::to_string(offset) + " + " + std::to_string(bytes));
            std::vector<std::uint8_t> mem(static_cast<std::size_t>(bytes) + 128, 0xCD);
            std::uint8_t* p = mem.data() + 64 + offset;
            ASSERT_EQ(fftZero(p, bytes), 0);
            for (std::size_t i = 0; i < mem.size(); ++i) {
                const bool inside = mem.data() + i >= p && mem.data() + i < p + bytes;
                ASSERT_EQ(mem[i], inside ? 0 : 0xCD) << i;
            }
        }
    }
    std::uint8_t b = 7;
    EXPECT_EQ(fftZero(&b, 0), -6);
    EXPECT_EQ(fftZero(&b, -3), -6);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(fftZero(nullptr, 0), -8);
    EXPECT_EQ(fftZeroDoubles(nullptr, 4), -8);
    EXPECT_EQ(fftZeroDoubles(reinterpret_cast<double*>(&b), 0), -6);
}

TEST(FftMemory, ScaleOneIsBitIdenticalAndZeroClearsNonFinites) {
    const double nanPayload = std::bit_cast<double>(std::uint64_t{0x7FF4000000000123});
    std::vector<double> v = {1.5, -0.0, nanPayload, std::numeric_limits<double>::infinity(), 3e-310};
    const std::vector<double> orig = v;
    ASSERT_EQ(fftScale(v.data(), static_cast<std::int32_t>(v.size()), 1.0), 0);
    EXPECT_EQ(std::memcmp(v.data(), orig.data(), v.size() * sizeof(double)), 0);
    ASSERT_EQ(fftScale(v.data(), static_cast<std::int32_t>(v.size()), 0.0), 0);
    for (double x : v) EXPECT_EQ(std::bit_cast<std::uint64_t>(x), 0u) << "+0.0";
    EXPECT_EQ(fftScale(nullptr, 3, 2.0), -8);
    EXPECT_EQ(fftScale(v.data(), 0, 2.0), -6);
}

TEST(FftMemory, ScaleMultipliesEveryElementAtAnyAlignment) {
    for (int offset = 0; offset < 4; ++offset) {
        // The last count takes the path that fetches ahead.
        for (std::int32_t count : {1, 2, 3, 4, 5, 17, 1000, 131072 + 13}) {
            std::vector<double> store(static_cast<std::size_t>(count) + 8);
            std::iota(store.begin(), store.end(), 1.0);
            double* p = store.data() + offset;
            ASSERT_EQ(fftScale(p, count, -0.5), 0);
            for (std::size_t i = 0; i < store.size(); ++i) {
                const double orig = static_cast<double>(i) + 1.0;
                const bool inside = store.data() + i >= p && store.data() + i < p + count;
                ASSERT_EQ(store[i], inside ? orig * -0.5 : orig);
            }
        }
    }
    // A NaN factor multiplies.
    double x = 2.0;
    ASSERT_EQ(fftScale(&x, 1, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_TRUE(std::isnan(x));
}

// The dispatching copy and the non-temporal copy itself (whatever the processor's caches) move
// exactly the given bytes for every pair of alignments, across the 256 KiB pieces.
TEST(FftMemory, CopyMovesExactlyTheBytes) {
    using Copy = void (*)(const void*, void*, std::int32_t);
    const Copy copies[] = {[](const void* s, void* d, std::int32_t n) { ASSERT_EQ(fftCopy(s, d, n), 0); },
                           [](const void* s, void* d, std::int32_t n) { ASSERT_EQ(fftCopyNonTemporalForTesting(s, d, n), d); }};
    for (Copy copy : copies)
    for (int srcOff : {0, 1, 8}) {
        for (int dstOff : {0, 3, 16}) {
            for (std::int32_t bytes : {1, 15, 63, 64, 65, 1048576, 1048576 + 7}) {
                std::vector<std::uint8_t> src(static_cast<std::size_t>(bytes) + 32), dst(src.size() + 32, 0xEE);
                for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 31 + 7);
                copy(src.data() + srcOff, dst.data() + dstOff, bytes);
                ASSERT_EQ(std::memcmp(src.data() + srcOff, dst.data() + dstOff, static_cast<std::size_t>(bytes)), 0);
                ASSERT_EQ(dst[static_cast<std::size_t>(dstOff + bytes)], 0xEE);
                if (dstOff > 0) {
                    ASSERT_EQ(dst[static_cast<std::size_t>(dstOff - 1)], 0xEE);
                }
            }
        }
    }
    std::uint8_t a = 1, b = 2;
    EXPECT_EQ(fftCopy(nullptr, &b, 1), -8);
    EXPECT_EQ(fftCopy(&a, nullptr, 1), -8);
    EXPECT_EQ(fftCopy(&a, &b, 0), -6);
    EXPECT_EQ(b, 2);
}

void* gLastRaw = nullptr;
void* recordingAllocate(std::size_t n) { return gLastRaw = std::malloc(n); }
void* gFreed = nullptr;
void recordingRelease(void* p) {
    gFreed = p;
    std::free(p);
}

TEST(FftMemory, AlignedAllocationKeepsTheRawBlockBelowTheResult) {
    EXPECT_EQ(fftAlignedAlloc(0), nullptr);
    EXPECT_EQ(fftAlignedAlloc(-1), nullptr);
    fftAlignedFree(nullptr);
    const FftAllocHooks saved = fftAllocHooks();
    fftAllocHooks().allocate = &recordingAllocate;
    fftAllocHooks().release = &recordingRelease;
    for (std::int32_t bytes : {1, 64, 1000, 100000}) {
        void* p = fftAlignedAlloc(bytes);
        ASSERT_NE(p, nullptr);
        const auto addr = reinterpret_cast<std::uintptr_t>(p);
        const auto raw = reinterpret_cast<std::uintptr_t>(gLastRaw);
        EXPECT_EQ(addr % 64, 0u);
        EXPECT_GE(addr, raw + 8);
        EXPECT_LE(addr + static_cast<std::uintptr_t>(bytes), raw + static_cast<std::uintptr_t>(bytes) + 72);
        std::memset(p, 0x5A, static_cast<std::size_t>(bytes));
        fftAlignedFree(p);
        EXPECT_EQ(gFreed, gLastRaw);
    }
    fftAllocHooks() = saved;
}

}  // namespace
}  // namespace tal
