#include "fft/FftPlan.h"

#include "fft/FftDispatch.h"
#include "fft/FftSineTable.h"
#include "support/ScopedFftLevel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <numbers>
#include <set>
#include <string>
#include <vector>

namespace tal {
namespace {

using ScopedLevel = test::ScopedFftLevel;

struct Sizes {
    std::int32_t spec, init, work;
    bool operator==(const Sizes&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Sizes& s) {
    return os << s.spec << " / " << s.init << " / " << s.work;
}

// The published byte counts for the orders the system uses, per level (levels 0 and 1 share one
// column). Level-2 and level-3 plans of order 16 are single-sweep plans and report their size.
const Sizes kSizes0[17] = {
    {200, 0, 0},          {200, 0, 0},          {200, 0, 0},           {200, 0, 0},
    {200, 0, 0},          {200, 0, 0},          {768, 0, 0},           {2496, 0, 1088},
    {4608, 0, 2112},      {8832, 0, 4160},      {17280, 0, 8256},      {34176, 4224, 16448},
    {67968, 8320, 32832}, {135552, 16512, 65600}, {270720, 32896, 131136}, {541056, 65664, 262208},
    {852352, 131200, 32832}};

Sizes expectedSize(int level, int order) {
    if (level <= 1) return kSizes0[order];
    if (level == 4) {
        if (order == 5) return {512, 0, 0};
        if (order == 7) return {1280, 0, 0};
    }
    if (order == 16) return {1081728, 131200, 524352};
    return kSizes0[order];
}

Sizes reported(int order, int flag = kFFTNoScale) {
    Sizes s{-1, -1, -1};
    EXPECT_EQ(realFFTGetSize(order, flag, 1, &s.spec, &s.init, &s.work), kFFTNoError);
    return s;
}

TEST(RealFFTGetSize, ReportsThePublishedSizesAtEveryLevel) {
    for (int level = 0; level <= 4; ++level) {
        ScopedLevel scoped(level);
        if (!scoped.ok()) continue;
        for (int order = 0; order <= 16; ++order) {
            SCOPED_TRACE("level " + std::to_string(level) + " order " + std::to_string(order));
            EXPECT_EQ(reported(order), expectedSize(level, order));
            // Neither the flag nor the hint changes the sizes.
            EXPECT_EQ(reported(order, kFFTScaleSqrt), expectedSize(level, order));
        }
    }
    ScopedLevel level2(2);
    if (level2.ok()) {
        EXPECT_EQ(reported(17), (Sizes{1132928, 262272, 1048640}));
    }
}

TEST(RealFFTGetSize, ChecksOrderPointersAndFlagInOrder) {
    std::int32_t a = 11, b = 22, c = 33;
    EXPECT_EQ(realFFTGetSize(-1, 8, 1, nullptr, nullptr, nullptr), kFFTOrderError);
    EXPECT_EQ(realFFTGetSize(31, 8, 1, nullptr, nullptr, nullptr), kFFTOrderError);
    EXPECT_EQ(realFFTGetSize(10, 8, 1, &a, nullptr, &c), kFFTNullPointer);
    EXPECT_EQ(realFFTGetSize(10, 3, 1, &a, &b, &c), kFFTFlagError);
    EXPECT_EQ(realFFTGetSize(29, 3, 1, &a, &b, &c), kFFTFlagError);
    EXPECT_EQ(realFFTGetSize(29, 8, 1, &a, &b, &c), kFFTOrderError);
    EXPECT_EQ((Sizes{a, b, c}), (Sizes{11, 22, 33})) << "nothing written on failure";
    EXPECT_EQ(realFFTGetSize(28, 8, 1, &a, &b, &c), kFFTNoError);
}

// Every level builds every order inside the reported sizes, from a block that is only byte
// aligned, and its table pointers stay inside the block.
TEST(RealFFTInit, BuildsInsideTheReportedSizes) {
    constexpr std::uint8_t kGuard = 0xA5;
    for (int level = 0; level <= 4; ++level) {
        ScopedLevel scoped(level);
        if (!scoped.ok()) continue;
        for (int order = 0; order <= 22; ++order) {
            SCOPED_TRACE("level " + std::to_string(level) + " order " + std::to_string(order));
            const Sizes s = reported(order);
            std::vector<std::uint8_t> block(static_cast<std::size_t>(s.spec) + 65 + 128, kGuard);
            std::vector<std::uint8_t> init(static_cast<std::size_t>(s.init) + 128, kGuard);
            // One byte past a 64-byte boundary: the worst start for the alignment slack.
            std::uint8_t* mem = fft::alignPtr64(block.data()) + 1;
            const std::size_t before = static_cast<std::size_t>(mem - block.data());
            RealFFTSpec* spec = nullptr;
            ASSERT_EQ(realFFTInit(&spec, order, kFFTNoScale, 1, mem, s.init ? init.data() : nullptr), kFFTNoError);
            EXPECT_EQ(reinterpret_cast<std::uint8_t*>(spec), fft::alignPtr64(mem));
            for (std::size_t i = 0; i < before; ++i) ASSERT_EQ(block[i], kGuard) << "byte before the block";
            for (std::size_t i = before + static_cast<std::size_t>(s.spec); i < block.size(); ++i)
                ASSERT_EQ(block[i], kGuard) << "byte " << i - before << " past a block of " << s.spec;
            for (std::size_t i = static_cast<std::size_t>(s.init); i < init.size(); ++i)
                ASSERT_EQ(init[i], kGuard) << "init buffer overrun";
            const auto inside = [&](const void* p) {
                const std::uint8_t* b = static_cast<const std::uint8_t*>(p);
                return p == nullptr || (b >= mem && b < mem + s.spec);
            };
            EXPECT_TRUE(inside(spec->bitRevTable) && inside(spec->twiddleTable) && inside(spec->splitTable) &&
                        inside(spec->splitTableB) && inside(spec->largeTwiddles[0]) &&
                        inside(spec->largeTwiddles[1]) && inside(spec->largeTwiddles[2]));
            EXPECT_LE(spec->tempSize + 64, std::max(s.work, 64));
        }
    }
}

TEST(RealFFTInit, FillsTheHeaderPerFlag) {
    struct Case {
        int order, flag, scaleForward, scaleInverse;
        double factor;
    };
    const Case cases[] = {
        {4, kFFTScaleForward, 1, 0, 1.0 / 16}, {4, kFFTScaleInverse, 0, 1, 1.0 / 16},
        {2, kFFTScaleSqrt, 1, 1, 0.5},         {4, kFFTScaleSqrt, 1, 1, 0.25},
        {9, kFFTScaleSqrt, 1, 1, 1.0 / std::sqrt(512.0)}, {12, kFFTNoScale, 0, 0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("order " + std::to_string(c.order) + " flag " + std::to_string(c.flag));
        const Sizes s = reported(c.order, c.flag);
        std::vector<std::uint8_t> block(s.spec), init(s.init + 1);
        RealFFTSpec* spec = nullptr;
        ASSERT_EQ(realFFTInit(&spec, c.order, c.flag, 77, block.data(), init.data()), kFFTNoError);
        EXPECT_EQ(spec->id, 9);
        EXPECT_EQ(spec->order, c.order);
        EXPECT_EQ(spec->hint, 77);
        EXPECT_EQ(spec->scaleForward, c.scaleForward);
        EXPECT_EQ(spec->scaleInverse, c.scaleInverse);
        EXPECT_EQ(spec->factor, c.factor);
        EXPECT_EQ(spec->reserved0, 0);
    }
}

TEST(RealFFTInit, PlacesTablesByOrderShape) {
    for (int level = 0; level <= 4; ++level) {
        ScopedLevel scoped(level);
        if (!scoped.ok()) continue;
        const fft::FftLevelParams& lp = fft::fftLevelParams(level);
        for (int order = 0; order <= 17; ++order) {
            SCOPED_TRACE("level " + std::to_string(level) + " order " + std::to_string(order));
            const Sizes s = reported(order);
            std::vector<std::uint8_t> block(s.spec), init(s.init + 1);
            RealFFTSpec* spec = nullptr;
            ASSERT_EQ(realFFTInit(&spec, order, kFFTNoScale, 1, block.data(), init.data()), kFFTNoError);
            std::uint8_t* base = reinterpret_cast<std::uint8_t*>(spec);
            if (order <= lp.directMax) {
                EXPECT_EQ(spec->tempSize, 0);
                EXPECT_EQ(spec->splitTable, nullptr);
                EXPECT_EQ(spec->bitRevTable, nullptr);
                EXPECT_EQ(spec->twiddleTable, nullptr);
            } else if (order <= lp.splitOnlyMax) {
                EXPECT_EQ(spec->tempSize, 0);
                EXPECT_EQ(spec->bitRevTable, nullptr);
                EXPECT_EQ(spec->twiddleTable, nullptr);
                EXPECT_EQ(reinterpret_cast<std::uint8_t*>(spec->splitTable), base + 192);
            } else {
                EXPECT_EQ(reinterpret_cast<std::uint8_t*>(spec->bitRevTable), base + 136);
                EXPECT_NE(spec->twiddleTable, nullptr);
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(spec->twiddleTable) % 64, 0u);
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(spec->splitTable) % 64, 0u);
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(spec->splitTableB) % 64, 0u);
                const bool large = order > lp.complexMax;
                EXPECT_EQ(spec->largeTwiddles[0] != nullptr, large);
                EXPECT_EQ(spec->tempSize, large ? s.work - 64 : 16 << (order - 1));
            }
        }
    }
}

TEST(RealFFTInit, RejectsBadArgumentsWithTheirStatus) {
    std::vector<std::uint8_t> block(70000, 0xEE), init(8400);
    RealFFTSpec* spec = nullptr;
    EXPECT_EQ(realFFTInit(nullptr, 10, 8, 1, block.data(), init.data()), kFFTNullPointer);
    EXPECT_EQ(realFFTInit(nullptr, 99, 8, 1, block.data(), init.data()), kFFTNullPointer);
    EXPECT_EQ(realFFTInit(&spec, 29, 8, 1, block.data(), init.data()), kFFTOrderError);
    EXPECT_EQ(realFFTInit(&spec, -1, 8, 1, block.data(), init.data()), kFFTOrderError);
    EXPECT_EQ(realFFTInit(&spec, 10, 8, 1, nullptr, init.data()), kFFTNullPointer);
    EXPECT_EQ(spec, nullptr);

    // A rejected flag leaves a zeroed header with only order and hint set.
    EXPECT_EQ(realFFTInit(&spec, 9, 5, 42, block.data(), init.data()), kFFTFlagError);
    EXPECT_EQ(spec, nullptr);
    RealFFTSpec expect;
    expect.order = 9;
    expect.hint = 42;
    EXPECT_EQ(std::memcmp(fft::alignPtr64(block.data()), &expect, sizeof expect), 0);

    // Order 10 takes its sines from the constant table; order 11 needs the init buffer.
    EXPECT_EQ(realFFTInit(&spec, 10, 8, 1, block.data(), nullptr), kFFTNoError);
    EXPECT_NE(spec, nullptr);
    RealFFTSpec* other = nullptr;
    std::vector<std::uint8_t> big(reported(11).spec);
    EXPECT_EQ(realFFTInit(&other, 11, 8, 1, big.data(), nullptr), kFFTNullPointer);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(reinterpret_cast<RealFFTSpec*>(fft::alignPtr64(big.data()))->id, 9);
}

std::set<double> sineMagnitudes() {
    std::set<double> v(fft::kSineTable1024, fft::kSineTable1024 + 257);
    return v;
}

TEST(FftPlanTables, SineTableIsWithinOneUlp) {
    for (int j = 0; j <= 256; ++j) {
        const long double exact = std::sin(2.0L * std::numbers::pi_v<long double> * j / 1024.0L);
        const double ulp = std::nextafter(static_cast<double>(exact), 2.0) - static_cast<double>(exact);
        EXPECT_LE(std::fabs(static_cast<long double>(fft::kSineTable1024[j]) - exact), ulp) << j;
    }
    EXPECT_EQ(fft::kSineTable1024[0], 0.0);
    EXPECT_EQ(fft::kSineTable1024[256], 1.0);
}

TEST(FftPlanTables, QuarterSineTableIsAccurateWithExactEnds) {
    alignas(64) static double table[4097];
    std::uint8_t* end = fft::buildQuarterSineTable(14, table);
    EXPECT_EQ(end, fft::alignPtr64(table + 4097));
    EXPECT_EQ(table[0], 0.0);
    EXPECT_EQ(table[4096], 1.0);
    for (int j = 0; j <= 4096; j += 37) {
        const long double exact = std::sin(2.0L * std::numbers::pi_v<long double> * j / 16384.0L);
        EXPECT_NEAR(static_cast<double>(table[j]), static_cast<double>(exact), 2 * DBL_EPSILON) << j;
    }
}

int reverse(int x, int bits) {
    int r = 0;
    for (int b = 0; b < bits; ++b) r |= ((x >> b) & 1) << (bits - 1 - b);
    return r;
}

TEST(FftPlanTables, BitReversalTableHoldsTwiceTheReversedIndex) {
    alignas(64) std::int32_t table[1100];
    EXPECT_EQ(fft::buildBitRevTable(1, table), reinterpret_cast<std::uint8_t*>(table));
    std::fill(std::begin(table), std::end(table), -1);
    EXPECT_EQ(fft::buildBitRevTable(2, table), reinterpret_cast<std::uint8_t*>(table) + 64);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1], 0);
    for (int m = 3; m <= 12; ++m) {
        SCOPED_TRACE(m);
        fft::buildBitRevTable(m, table);
        const int count = 1 << (m - 2);
        for (int i = 0; i < count; ++i) ASSERT_EQ(table[i], 2 * reverse(i, m - 2)) << i;
        EXPECT_EQ(table[count], 0);
    }
}

TEST(FftPlanTables, SwapListPairsAndSelfReversedValues) {
    alignas(64) std::int32_t list[300];
    std::fill(std::begin(list), std::end(list), -1);
    fft::buildSwapList(10, list);  // reversal of 8 bits over 256 slots
    std::vector<std::pair<int, int>> pairs;
    std::vector<int> selfs;
    for (int i = 1; i < 256; ++i) {
        const int r = reverse(i, 8);
        if (i < r) pairs.emplace_back(4 * i, 4 * r);
        if (i == r) selfs.push_back(4 * i);
    }
    ASSERT_EQ(pairs.size(), 120u);
    ASSERT_EQ(selfs.size(), 15u);
    for (std::size_t p = 0; p < pairs.size(); ++p) {
        EXPECT_EQ(list[2 * p], pairs[p].first);
        EXPECT_EQ(list[2 * p + 1], pairs[p].second);
    }
    EXPECT_EQ(list[240], 0);
    for (std::size_t s = 0; s < selfs.size(); ++s) EXPECT_EQ(list[255 - s], selfs[s]);
    EXPECT_EQ(list[256], 0);
}

// Up to order 10 every plan value is a copy, a negation or a halving of a constant table entry
// (no trigonometric function runs), and the twiddles are the exact circle points.
TEST(FftPlanTables, SmallPlansTakeEveryValueFromTheConstantTable) {
    const std::set<double> sines = sineMagnitudes();
    const fft::FftSineSource src{fft::kSineTable1024, 10};
    alignas(64) static double table[4 * 1024];
    for (int order = 7; order <= 10; ++order) {
        SCOPED_TRACE(order);
        const int quarter = (1 << order) / 4;
        fft::buildSplitTableB(order, false, src, table);
        for (int i = 0; i < 2 * quarter; ++i) EXPECT_EQ(sines.count(std::fabs(table[i])), 1u) << i;
        fft::buildSplitTable(order, false, src, table);
        for (int k = 1; k <= quarter; ++k) {
            EXPECT_EQ(sines.count(2 * table[k - 1]), 1u) << k;
            const long double theta = 2 * std::numbers::pi_v<long double> * k / (1 << order);
            EXPECT_NEAR(table[quarter + k - 1], static_cast<double>(0.5L - 0.5L * std::sin(theta)), DBL_EPSILON);
        }
        EXPECT_EQ(table[quarter - 1], 0.0) << "C at N/4";
        EXPECT_EQ(table[2 * quarter - 1], 0.0) << "S at N/4";
        const int m = order - 1;
        fft::buildStageTwiddles(m, src, table);
        int radices[16];
        const int stages = fft::fftStagePlan(m, radices);
        const double* w = table;
        int n = 1 << m;
        for (int st = 0; st < stages; ++st) {
            const int len = n / radices[st];
            if (len > 1) {
                for (int k = 1; k < radices[st]; ++k, w += 2 * len)
                    for (int j = 0; j < len; ++j) {
                        const long double a = 2 * std::numbers::pi_v<long double> * j * k / n;
                        EXPECT_NEAR(w[j], static_cast<double>(std::cos(a)), DBL_EPSILON);
                        EXPECT_NEAR(w[len + j], static_cast<double>(-std::sin(a)), DBL_EPSILON);
                        EXPECT_EQ(sines.count(std::fabs(w[j])), 1u);
                    }
            }
            n = len;
        }
    }
}

TEST(FftPlanTables, StagePlansCoverEveryBitWithRadixFourOrEightFirst) {
    for (int m = 3; m <= 27; ++m) {
        int radices[16];
        const int stages = fft::fftStagePlan(m, radices);
        int bits = 0;
        for (int i = 0; i < stages; ++i) bits += radices[i] == 8 ? 3 : radices[i] == 4 ? 2 : 1;
        EXPECT_EQ(bits, m);
        EXPECT_GE(radices[0], 4) << m;
    }
}

}  // namespace
}  // namespace tal
