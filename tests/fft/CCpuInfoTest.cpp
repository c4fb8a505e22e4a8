#include "fft/CCpuInfo.h"

#include "fft/FftDispatch.h"
#include "fft/FftMemory.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <utility>

namespace tal {
namespace {

// A processor described by its CPUID leaves.
class CFakeCpu : public CCpuInfo {
public:
    bool cpuidPresent = true;
    std::uint64_t xcr0 = 0;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::array<std::uint32_t, 4>> leaves;

    CFakeCpu(bool intel, std::uint32_t maxLeaf) {
        leaves[{0, 0}] = intel ? std::array<std::uint32_t, 4>{maxLeaf, 0x756E6547, 0x6C65746E, 0x49656E69}
                               : std::array<std::uint32_t, 4>{maxLeaf, 0x68747541, 0x444D4163, 0x69746E65};
    }
    void setLeaf1(std::uint32_t ecx, std::uint32_t edx) { leaves[{1, 0}] = {0x000306A9, 0, ecx, edx}; }

    bool hasCpuid() const override { return cpuidPresent; }
    void cpuid(std::uint32_t leaf, std::uint32_t sub, std::uint32_t regs[4]) const override {
        const auto it = leaves.find({leaf, sub});
        for (int i = 0; i < 4; ++i) regs[i] = it == leaves.end() ? 0 : it->second[i];
    }
    std::uint64_t xgetbv0() const override { return xcr0; }
};

constexpr std::uint32_t bit(int n) { return std::uint32_t{1} << n; }
constexpr std::uint32_t kEdxBase = bit(23) | bit(25) | bit(26);  // MMX, SSE, SSE2
constexpr std::uint32_t kSse3 = bit(0), kSsse3 = bit(9), kMovbe = bit(22), kSse41 = bit(19);
constexpr std::uint32_t kOsxsave = bit(27), kAvx = bit(28);

struct LevelCase {
    const char* name;
    bool intel;
    std::uint32_t ecx;
    std::uint64_t xcr0;
    int level;
    std::int32_t status;
};

TEST(CCpuInfo, ChoosesTheLevelFromTheFeatures) {
    const LevelCase cases[] = {
        {"avx with os support", true, kSse3 | kSsse3 | kSse41 | kOsxsave | kAvx, 6, 4, 0},
        {"avx without os ymm state", true, kSse3 | kSsse3 | kSse41 | kOsxsave | kAvx, 2, 3, 0},
        {"avx without osxsave", true, kSse3 | kSsse3 | kSse41 | kAvx, 6, 3, 0},
        {"sse4.1", true, kSse3 | kSsse3 | kSse41, 0, 3, 0},
        {"ssse3 with movbe", true, kSse3 | kSsse3 | kMovbe, 0, 2, 0},
        {"ssse3", true, kSse3 | kSsse3, 0, 2, 0},
        {"sse3", true, kSse3, 0, 1, 0},
        {"sse2 only", true, 0, 0, 0, 36},
        {"other vendor, avx", false, kSse3 | kSsse3 | kSse41 | kOsxsave | kAvx, 6, 4, 20},
        {"other vendor, sse2 only", false, 0, 0, 0, 20},
    };
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeCpu cpu(c.intel, 7);
        cpu.setLeaf1(c.ecx, kEdxBase);
        cpu.xcr0 = c.xcr0;
        const FftLevelChoice choice = chooseFFTLevel(cpu);
        EXPECT_EQ(choice.level, c.level);
        EXPECT_EQ(choice.status, c.status);
    }
}

TEST(CCpuInfo, EnabledFeaturesAreTheLevelsSubset) {
    CFakeCpu cpu(true, 7);
    cpu.setLeaf1(kSse3 | kSsse3 | kMovbe | kSse41 | bit(20) | kOsxsave | kAvx | bit(25) | bit(1) | bit(30) |
                     bit(29) | bit(12),
                 kEdxBase);
    cpu.leaves[{7, 0}] = {0, bit(3) | bit(5) | bit(8), 0, 0};
    cpu.xcr0 = 7;
    std::uint64_t mask = 0;
    ASSERT_TRUE(cpu.featureMask(mask));
    EXPECT_EQ(mask, 0xEFFFu);  // everything but the family-0xB bit
    EXPECT_EQ(chooseFFTLevel(cpu).enabledFeatures, 0xEFFFu & 0x6FDF);
    // FMA without AVX2 in leaf 7 does not set bit 15.
    cpu.leaves[{7, 0}] = {0, bit(3) | bit(8), 0, 0};
    ASSERT_TRUE(cpu.featureMask(mask));
    EXPECT_EQ(mask & 0x8000, 0u);
}

TEST(CCpuInfo, WithoutCpuidRunsTheBaseline) {
    CFakeCpu cpu(true, 7);
    cpu.cpuidPresent = false;
    std::uint64_t mask = 0;
    EXPECT_FALSE(cpu.featureMask(mask));
    const FftLevelChoice choice = chooseFFTLevel(cpu);
    EXPECT_EQ(choice.level, 0);
    EXPECT_EQ(choice.enabledFeatures, 7u);
    EXPECT_EQ(choice.status, 20);
    std::int32_t size = -1;
    EXPECT_EQ(cpu.largestCache(size), 36);
    EXPECT_EQ(size, 0);
}

TEST(CCpuInfo, LargestCacheFromLeafFour) {
    CFakeCpu cpu(true, 4);
    // L1d 32 KiB (8 ways, 64 sets, 64-byte lines), L1i, L2 1 MiB (16 ways, 1024 sets), then the end.
    cpu.leaves[{4, 0}] = {1 | (1 << 5), (7u << 22) | 63, 63, 0};
    cpu.leaves[{4, 1}] = {2 | (1 << 5), (7u << 22) | 63, 63, 0};
    cpu.leaves[{4, 2}] = {3 | (2 << 5), (15u << 22) | 63, 1023, 0};
    std::int32_t size = 0;
    EXPECT_EQ(cpu.largestCache(size), 0);
    EXPECT_EQ(size, 1024 * 1024);

    // Only instruction caches: not determinable, and the same on every call.
    CFakeCpu icache(true, 4);
    icache.leaves[{4, 0}] = {2, (7u << 22) | 63, 63, 0};
    for (int call = 0; call < 2; ++call) {
        EXPECT_EQ(icache.largestCache(size), 37);
        EXPECT_EQ(size, 0);
    }
}

TEST(CCpuInfo, LargestCacheFromLeafTwoDescriptors) {
    CFakeCpu cpu(true, 2);
    // AL = 1; descriptors 0x2C (L1), 0x43 (512 KiB) and 0x49 (4 MiB): the largest listed wins.
    cpu.leaves[{2, 0}] = {0x00432C01, 0x00000049, 0, 0};
    std::int32_t size = 0;
    EXPECT_EQ(cpu.largestCache(size), 0);
    EXPECT_EQ(size, 4 * 1024 * 1024);
    // A register with bit 31 set contributes nothing.
    cpu.leaves[{2, 0}] = {0x00432C01, 0x80000049, 0, 0};
    EXPECT_EQ(cpu.largestCache(size), 0);
    EXPECT_EQ(size, 512 * 1024);
    // No listed descriptor, or AL not 1: not determinable.
    cpu.leaves[{2, 0}] = {0x00002C01, 0, 0, 0};
    EXPECT_EQ(cpu.largestCache(size), 37);
    cpu.leaves[{2, 0}] = {0x00432C02, 0x49, 0, 0};
    EXPECT_EQ(cpu.largestCache(size), 37);
    // Other vendors are not supported.
    CFakeCpu amd(false, 16);
    EXPECT_EQ(amd.largestCache(size), 36);
    EXPECT_EQ(size, 0);
}

TEST(FftDispatch, ProcessorQueriesCheckTheirPointers) {
    EXPECT_EQ(getLargestCacheSize(nullptr), kFFTNullPointer);
    EXPECT_EQ(getCPUFeatures(nullptr), kFFTNullPointer);
    std::uint64_t mask = 0;
    EXPECT_EQ(getCPUFeatures(&mask), kFFTNoError);
    EXPECT_EQ(mask & 7, 7u) << "x86-64 always has MMX, SSE and SSE2";
    std::int32_t size = -1, again = -1;
    const std::int32_t state = getLargestCacheSize(&size);
    EXPECT_EQ(getLargestCacheSize(&again), state);
    EXPECT_EQ(again, size);
}

// Large fills stream past the caches only when the processor lists a cache of 512 KiB or more and
// the fill is at least that large (levels 0..3), or above 2 MiB and the detected cache (level 4).
TEST(FftMemory, StreamingFillFollowsTheCacheRules) {
    CFakeCpu big(true, 2);
    big.leaves[{2, 0}] = {0x4D000001u, 0, 0, 0};  // 16 MiB third-level cache
    EXPECT_EQ(fftStreamingFillThreshold(big), 16 * 1048576);
    EXPECT_FALSE(fftFillStreams(600 * 1024, big));
    EXPECT_FALSE(fftFillStreams(16 * 1048576 - 1, big));
    EXPECT_TRUE(fftFillStreams(16 * 1048576, big));

    CFakeCpu small(true, 2);
    small.leaves[{2, 0}] = {0x41000001u, 0, 0, 0};  // only 128 KiB listed
    EXPECT_EQ(fftStreamingFillThreshold(small), 0);
    EXPECT_FALSE(fftFillStreams(600 * 1024, small));

    CFakeCpu other(false, 2);
    other.leaves[{2, 0}] = {0x4D000001u, 0, 0, 0};
    EXPECT_FALSE(fftFillStreams(64 * 1048576, other));

    CFakeCpu tiny(true, 2);
    tiny.leaves[{2, 0}] = {0x21000001u, 0, 0, 0};  // 256 KiB: below the floor of the rule
    EXPECT_FALSE(fftFillStreams(4 * 1048576, tiny));

    EXPECT_TRUE(fftWideFillStreams(4 * 1048576, 0, 1048576));
    EXPECT_FALSE(fftWideFillStreams(2 * 1048576, 0, 1048576));
    EXPECT_FALSE(fftWideFillStreams(4 * 1048576, 0, 4 * 1048576));
    EXPECT_FALSE(fftWideFillStreams(4 * 1048576, 37, 0));
}

// Copies stream from 1 MiB when they reach half the largest cache's share per processor (the cache
// over the processors that share it); without a listed cache of 512 KiB or more they never do.
TEST(FftMemory, StreamingCopyFollowsTheCacheShare) {
    CFakeCpu shared(true, 4);
    shared.leaves[{2, 0}] = {0x4D000001u, 0, 0, 0};  // 16 MiB
    shared.leaves[{4, 0}] = {(3u << 26) | 0x121u, 0, 0, 0};  // four processors share it
    EXPECT_EQ(fftCopyCacheShare(shared), 4 * 1048576);
    EXPECT_FALSE(fftCopyStreams(2 * 1048576 - 1, shared));
    EXPECT_TRUE(fftCopyStreams(2 * 1048576, shared));

    CFakeCpu noLeaf4(true, 2);
    noLeaf4.leaves[{2, 0}] = {0x4D000001u, 0, 0, 0};
    EXPECT_EQ(fftCopyCacheShare(noLeaf4), 16 * 1048576);
    EXPECT_FALSE(fftCopyStreams(8 * 1048576 - 1, noLeaf4));
    EXPECT_TRUE(fftCopyStreams(8 * 1048576, noLeaf4));

    CFakeCpu smallShare(true, 4);
    smallShare.leaves[{2, 0}] = {0x7D000001u, 0, 0, 0};  // 2 MiB
    smallShare.leaves[{4, 0}] = {(7u << 26) | 0x121u, 0, 0, 0};
    EXPECT_FALSE(fftCopyStreams(1048576 - 1, smallShare)) << "below the 1 MiB floor";
    EXPECT_TRUE(fftCopyStreams(1048576, smallShare));

    CFakeCpu other(false, 4);
    other.leaves[{2, 0}] = {0x4D000001u, 0, 0, 0};
    EXPECT_EQ(fftCopyCacheShare(other), 0);
    EXPECT_FALSE(fftCopyStreams(64 * 1048576, other));
}

struct CodeCase {
    std::int32_t code;
    int level;  // -1: unchanged
    std::uint64_t enabled;
};

class FftDispatchByCode : public ::testing::Test {
protected:
    void TearDown() override {
        forgetCPUFeaturesForTesting();
        initFFTCPUDispatch();
    }
};

// Each processor code selects its level and feature set, which then also stands as the processor's
// feature mask: a following selection by -1 chooses from it.
TEST_F(FftDispatchByCode, SelectsTheCodesLevelAndKeepsItsFeatures) {
    const CodeCase cases[] = {{0x20, 1, 0xF},  {0x42, 1, 0xF},   {0x21, 2, 0x1F},  {0x43, 2, 0x1F},
                              {0x23, 3, 0x5F}, {0x45, 3, 0xDF},  {0x47, 3, 0xCDF}, {0x46, 4, 0xFDF},
                              {0x4A, 4, 0xFDF}, {0x00, 1, 0xF}};
    for (const CodeCase& c : cases) {
        SCOPED_TRACE(c.code);
        if (c.level > fftNativeLevel()) continue;
        ASSERT_EQ(selectFFTDispatchByCode(c.code), kFFTNoError);
        EXPECT_EQ(fftDispatchLevel(), c.level);
        EXPECT_EQ(getEnabledFeatures(), c.enabled);
        std::uint64_t mask = 0;
        ASSERT_EQ(getCPUFeatures(&mask), kFFTNoError);
        EXPECT_EQ(mask, c.enabled);
    }
    if (fftNativeLevel() < 2) GTEST_SKIP() << "needs SSSE3";
    ASSERT_EQ(selectFFTDispatchByCode(0x21), kFFTNoError);
    selectFFTDispatchByCode(-1);
    EXPECT_EQ(fftDispatchLevel(), 2);
    EXPECT_EQ(getEnabledFeatures(), 0x1Fu);
}

TEST_F(FftDispatchByCode, UnknownAndLevelLessCodes) {
    ASSERT_EQ(selectFFTDispatchByCode(0x20), kFFTNoError);
    EXPECT_EQ(selectFFTDispatchByCode(0x30), kFFTUnknownCode);
    EXPECT_EQ(selectFFTDispatchByCode(0x0C), kFFTUnknownCode);
    EXPECT_EQ(fftDispatchLevel(), 1);
    for (std::int32_t code : {0x01, 0x0B, 0x40, 0x41, 0x60}) {
        EXPECT_EQ(selectFFTDispatchByCode(code), kFFTNotSupported);
        EXPECT_EQ(fftDispatchLevel(), 1);
        EXPECT_EQ(getEnabledFeatures(), 0xFu);
    }
}

// A code naming a level the processor cannot run is refused and changes nothing: its kernels
// would fault on the first transform.
TEST_F(FftDispatchByCode, RefusesALevelTheProcessorLacks) {
    CFakeCpu sse3(true, 7);
    sse3.setLeaf1(kSse3, kEdxBase);
    ASSERT_EQ(selectFFTDispatchByCode(0x20), kFFTNoError);
    std::uint64_t before = 0;
    ASSERT_EQ(getCPUFeatures(&before), kFFTNoError);
    for (std::int32_t code : {0x21, 0x23, 0x47, 0x46, 0x49}) {
        EXPECT_EQ(selectFFTDispatchByCodeOn(code, sse3), kFFTNotSupported) << code;
        EXPECT_EQ(fftDispatchLevel(), 1);
        EXPECT_EQ(getEnabledFeatures(), 0xFu);
    }
    std::uint64_t after = 0;
    ASSERT_EQ(getCPUFeatures(&after), kFFTNoError);
    EXPECT_EQ(after, before);
    EXPECT_EQ(selectFFTDispatchByCodeOn(0x42, sse3), kFFTNoError);
}

TEST(FftDispatch, ConstantProcessorCodeAnswers) {
    for (std::int32_t code : {0, 0x46, -1, 0x7FFFFFFF}) {
        EXPECT_EQ(fftProcessorCodeAllowed(code), 1);
        EXPECT_EQ(fftProcessorCodeRefused(code), 0);
    }
}

}  // namespace
}  // namespace tal
