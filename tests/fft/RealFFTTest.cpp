#include "fft/FftDispatch.h"
#include "fft/FftKernels.h"
#include "fft/FftMemory.h"
#include "support/ScopedFftLevel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// A plan of one order built at the current dispatch level, with its own memory.
struct Plan {
    std::vector<std::uint8_t> specMem, work;
    RealFFTSpec* spec = nullptr;

    Plan(int order, int flag = kFFTNoScale) {
        std::int32_t specSize = 0, initSize = 0, workSize = 0;
        EXPECT_EQ(realFFTGetSize(order, flag, 1, &specSize, &initSize, &workSize), kFFTNoError);
        specMem.resize(static_cast<std::size_t>(specSize));
        work.resize(static_cast<std::size_t>(workSize) + 1);
        std::vector<std::uint8_t> init(static_cast<std::size_t>(initSize));
        EXPECT_EQ(realFFTInit(&spec, order, flag, 1, specMem.data(), init.empty() ? nullptr : init.data()),
                  kFFTNoError);
    }
    std::uint8_t* workPtr() { return work.size() > 1 ? work.data() : nullptr; }
};

using ScopedLevel = test::ScopedFftLevel;

std::vector<double> noise(std::size_t n, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x) v = dist(rng);
    return x;
}

// Long-double reference: the packed spectrum of x by a radix-2 complex FFT with long-double twiddles.
std::vector<long double> referenceSpectrum(const std::vector<double>& x) {
    const std::size_t n = x.size();
    std::vector<long double> re(n), im(n, 0.0L);
    for (std::size_t i = 0; i < n; ++i) re[i] = x[i];
    if (n > 1) {
        for (std::size_t i = 1, j = 0; i < n; ++i) {
            std::size_t bit = n >> 1;
            for (; j & bit; bit >>= 1) j ^= bit;
            j |= bit;
            if (i < j) {
                std::swap(re[i], re[j]);
                std::swap(im[i], im[j]);
            }
        }
        std::vector<long double> wr(n / 2), wi(n / 2);
        const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
        for (std::size_t k = 0; k < n / 2; ++k) {
            wr[k] = std::cos(twoPi * static_cast<long double>(k) / static_cast<long double>(n));
            wi[k] = -std::sin(twoPi * static_cast<long double>(k) / static_cast<long double>(n));
        }
        for (std::size_t len = 2; len <= n; len *= 2) {
            const std::size_t step = n / len;
            for (std::size_t base = 0; base < n; base += len) {
                for (std::size_t k = 0; k < len / 2; ++k) {
                    const std::size_t a = base + k, b = a + len / 2;
                    const long double tr = re[b] * wr[k * step] - im[b] * wi[k * step];
                    const long double ti = re[b] * wi[k * step] + im[b] * wr[k * step];
                    re[b] = re[a] - tr;
                    im[b] = im[a] - ti;
                    re[a] += tr;
                    im[a] += ti;
                }
            }
        }
    }
    std::vector<long double> packed(n);
    packed[0] = re[0];
    if (n >= 2) packed[1] = re[n / 2];
    for (std::size_t k = 1; k < n / 2; ++k) {
        packed[2 * k] = re[k];
        packed[2 * k + 1] = im[k];
    }
    return packed;
}

const std::vector<long double>& cachedReference(int order, const std::vector<double>& x) {
    static std::map<int, std::vector<long double>> cache;
    auto it = cache.find(order);
    if (it == cache.end()) it = cache.emplace(order, referenceSpectrum(x)).first;
    return it->second;
}

std::vector<int> supportedLevels() {
    std::vector<int> levels;
    for (int level = 0; level <= fftNativeLevel(); ++level) levels.push_back(level);
    return levels;
}

struct LevelOrder {
    int level, order;
};

void PrintTo(const LevelOrder& c, std::ostream* os) { *os << "level " << c.level << " order " << c.order; }

class RealFFTAccuracy : public ::testing::TestWithParam<LevelOrder> {};

// Every level and order against the long-double reference, out of place, in place, without a work
// buffer and with misaligned buffers: the paths must agree bit for bit and stay within
// c * ulp * N * log2 N of the reference (inputs in [-1, 1]).
TEST_P(RealFFTAccuracy, MatchesLongDoubleReference) {
    const LevelOrder c = GetParam();
    ScopedLevel scoped(c.level);
    if (!scoped.ok()) GTEST_SKIP() << "level " << c.level << " not supported here";
    const std::size_t n = std::size_t{1} << c.order;
    const std::vector<double> x = noise(n, 1000u + static_cast<unsigned>(c.order));
    const std::vector<long double>& ref = cachedReference(c.order, x);

    Plan plan(c.order);
    ASSERT_NE(plan.spec, nullptr);
    std::vector<double> out(n);
    ASSERT_EQ(realFFTForward(x.data(), out.data(), plan.spec, plan.workPtr()), kFFTNoError);

    const double log2n = c.order > 0 ? c.order : 1;
    const double bound = 1.0 * DBL_EPSILON * static_cast<double>(n) * log2n;
    long double maxErr = 0, errSq = 0, refSq = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const long double e = std::fabs(static_cast<long double>(out[i]) - ref[i]);
        maxErr = std::max(maxErr, e);
        errSq += e * e;
        refSq += ref[i] * ref[i];
    }
    EXPECT_LE(static_cast<double>(maxErr), bound);
    // The relative RMS error of a sound FFT grows like ulp * log2 N.
    EXPECT_LE(static_cast<double>(std::sqrt(errSq / refSq)), 2.0 * DBL_EPSILON * log2n);

    std::vector<double> inPlace = x;
    ASSERT_EQ(realFFTForward(inPlace.data(), inPlace.data(), plan.spec, plan.workPtr()), kFFTNoError);
    EXPECT_EQ(inPlace, out) << "in place";

    std::vector<double> noWork(n);
    ASSERT_EQ(realFFTForward(x.data(), noWork.data(), plan.spec, nullptr), kFFTNoError);
    EXPECT_EQ(noWork, out) << "null work buffer";

    // Source, destination and work only 8-byte aligned (one double past a 64-byte boundary).
    std::vector<double> srcStore(n + 8), dstStore(n + 8);
    double* src = srcStore.data() + 1;
    double* dst = dstStore.data() + 1;
    std::memcpy(src, x.data(), n * sizeof(double));
    std::vector<std::uint8_t> work(plan.work.size() + 8);
    ASSERT_EQ(realFFTForward(src, dst, plan.spec, plan.work.size() > 1 ? work.data() + 8 : nullptr), kFFTNoError);
    EXPECT_EQ(std::vector<double>(dst, dst + n), out) << "misaligned buffers";
}

std::vector<LevelOrder> accuracyCases() {
    std::vector<LevelOrder> cases;
    for (int level = 0; level <= 4; ++level)
        for (int order = 0; order <= 20; ++order) cases.push_back({level, order});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllLevels, RealFFTAccuracy, ::testing::ValuesIn(accuracyCases()),
                         [](const ::testing::TestParamInfo<LevelOrder>& info) {
                             return "Level" + std::to_string(info.param.level) + "Order" +
                                    std::to_string(info.param.order);
                         });

TEST(RealFFT, LevelsZeroAndOneAreBitIdentical) {
    for (int order : {3, 6, 7, 10, 15, 16}) {
        SCOPED_TRACE(order);
        const std::vector<double> x = noise(std::size_t{1} << order, 7);
        std::vector<double> out[2];
        for (int level = 0; level < 2; ++level) {
            ScopedLevel scoped(level);
            ASSERT_TRUE(scoped.ok());
            Plan plan(order);
            out[level].resize(x.size());
            ASSERT_EQ(realFFTForward(x.data(), out[level].data(), plan.spec, plan.workPtr()), kFFTNoError);
        }
        EXPECT_EQ(out[0], out[1]);
    }
}

// Exact cases: constant and alternating inputs give exact powers of two and exact zeros on every
// path of every level.
TEST(RealFFT, ConstantAndAlternatingInputsAreExact) {
    for (int level : supportedLevels()) {
        ScopedLevel scoped(level);
        for (int order = 0; order <= 18; ++order) {
            SCOPED_TRACE("level " + std::to_string(level) + " order " + std::to_string(order));
            const std::size_t n = std::size_t{1} << order;
            Plan plan(order);
            std::vector<double> ones(n, 1.0), alt(n);
            for (std::size_t i = 0; i < n; ++i) alt[i] = (i % 2 == 0) ? 1.0 : -1.0;
            std::vector<double> expectOnes(n, 0.0), expectAlt(n, 0.0);
            expectOnes[0] = static_cast<double>(n);
            if (n >= 2) expectAlt[1] = static_cast<double>(n);
            else expectAlt[0] = 1.0;
            ASSERT_EQ(realFFTForward(ones.data(), ones.data(), plan.spec, plan.workPtr()), kFFTNoError);
            ASSERT_EQ(realFFTForward(alt.data(), alt.data(), plan.spec, plan.workPtr()), kFFTNoError);
            EXPECT_EQ(ones, expectOnes);
            EXPECT_EQ(alt, expectAlt);
        }
    }
}

TEST(RealFFT, SmallTransformsGiveTheExactPackedValues) {
    struct Case {
        std::vector<double> in, out;
    };
    const Case cases[] = {
        {{5.5}, {5.5}},
        {{3.0, 1.0}, {4.0, 2.0}},
        {{1, 0, 0, 0}, {1, 1, 1, 0}},
        {{0, 1, 0, 0}, {1, -1, 0, -1}},
        {{1, 2, 3, 4}, {10, -2, -2, 2}},
    };
    for (int level : supportedLevels()) {
        ScopedLevel scoped(level);
        for (const Case& c : cases) {
            SCOPED_TRACE("level " + std::to_string(level) + " n " + std::to_string(c.in.size()));
            const int order = c.in.size() == 1 ? 0 : c.in.size() == 2 ? 1 : 2;
            Plan plan(order);
            std::vector<double> out(c.in.size());
            ASSERT_EQ(realFFTForward(c.in.data(), out.data(), plan.spec, nullptr), kFFTNoError);
            EXPECT_EQ(out, c.out);
        }
    }
}

TEST(RealFFT, ImpulseAtZeroGivesOneInEveryRealSlot) {
    for (int level : supportedLevels()) {
        ScopedLevel scoped(level);
        for (int order = 1; order <= 12; ++order) {
            SCOPED_TRACE("level " + std::to_string(level) + " order " + std::to_string(order));
            const std::size_t n = std::size_t{1} << order;
            std::vector<double> x(n, 0.0), expect(n, 0.0);
            x[0] = 1.0;
            expect[0] = expect[1] = 1.0;
            for (std::size_t k = 2; k < n; k += 2) expect[k] = 1.0;
            Plan plan(order);
            ASSERT_EQ(realFFTForward(x.data(), x.data(), plan.spec, plan.workPtr()), kFFTNoError);
            EXPECT_EQ(x, expect);
        }
    }
}

TEST(RealFFT, ImpulseAtOneUsesTheNegativeExponent) {
    for (int level : supportedLevels()) {
        ScopedLevel scoped(level);
        for (int order : {3, 6, 8, 12, 16}) {
            SCOPED_TRACE("level " + std::to_string(level) + " order " + std::to_string(order));
            const std::size_t n = std::size_t{1} << order;
            std::vector<double> x(n, 0.0);
            x[1] = 1.0;
            Plan plan(order);
            ASSERT_EQ(realFFTForward(x.data(), x.data(), plan.spec, plan.workPtr()), kFFTNoError);
            const double theta = 2.0 * std::numbers::pi / static_cast<double>(n);
            EXPECT_NEAR(x[2], std::cos(theta), 4 * DBL_EPSILON);
            EXPECT_NEAR(x[3], -std::sin(theta), 4 * DBL_EPSILON);
            EXPECT_NEAR(x[1], -1.0, 4 * DBL_EPSILON);
        }
    }
}

// Flags 1 and 4 scale the forward result by 1/N and 1/sqrt(N) exactly once, on every path.
TEST(RealFFT, ScaledPlansScaleOnce) {
    for (int level : supportedLevels()) {
        ScopedLevel scoped(level);
        for (int order : {0, 2, 5, 6, 7, 11, 16, 19}) {
            const std::size_t n = std::size_t{1} << order;
            const std::vector<double> x = noise(n, 3);
            Plan plain(order);
            std::vector<double> expect(n);
            ASSERT_EQ(realFFTForward(x.data(), expect.data(), plain.spec, plain.workPtr()), kFFTNoError);
            for (int flag : {kFFTScaleForward, kFFTScaleSqrt}) {
                SCOPED_TRACE("level " + std::to_string(level) + " order " + std::to_string(order) + " flag " +
                             std::to_string(flag));
                const double factor = flag == kFFTScaleForward ? 1.0 / static_cast<double>(n)
                                                               : 1.0 / std::sqrt(static_cast<double>(n));
                Plan scaled(order, flag);
                std::vector<double> out(n);
                ASSERT_EQ(realFFTForward(x.data(), out.data(), scaled.spec, scaled.workPtr()), kFFTNoError);
                for (std::size_t i = 0; i < n; ++i)
                    ASSERT_NEAR(out[i], expect[i] * factor, 8 * DBL_EPSILON * (1.0 + std::fabs(expect[i] * factor)))
                        << "index " << i;
            }
            // Flag 2 only records inverse scaling: the forward result is unscaled.
            Plan inverseOnly(order, kFFTScaleInverse);
            std::vector<double> out(n);
            ASSERT_EQ(realFFTForward(x.data(), out.data(), inverseOnly.spec, inverseOnly.workPtr()), kFFTNoError);
            EXPECT_EQ(out, expect);
        }
    }
}

TEST(RealFFT, ChecksArgumentsInOrder) {
    Plan plan(8);
    std::vector<double> x(256, 1.0), y(256, 7.0);
    EXPECT_EQ(realFFTForward(x.data(), y.data(), nullptr, nullptr), kFFTNullPointer);
    EXPECT_EQ(realFFTForward(nullptr, y.data(), plan.spec, nullptr), kFFTNullPointer);
    EXPECT_EQ(realFFTForward(x.data(), nullptr, plan.spec, nullptr), kFFTNullPointer);
    // A block without the identifier 9 is reported before the null source.
    std::vector<std::uint8_t> foreign(512, 0);
    EXPECT_EQ(realFFTForward(nullptr, y.data(), reinterpret_cast<RealFFTSpec*>(foreign.data()), nullptr),
              kFFTContextMismatch);
    EXPECT_EQ(y, std::vector<double>(256, 7.0));
}

void* failingAllocate(std::size_t) { return nullptr; }

TEST(RealFFT, FailedTemporaryAllocationLeavesTheDestination) {
    for (int level : supportedLevels()) {
        ScopedLevel scoped(level);
        Plan plan(12);
        ASSERT_GT(plan.spec->tempSize, 0);
        std::vector<double> x = noise(4096, 9), y(4096, 3.0);
        FftAllocHooks saved = fftAllocHooks();
        fftAllocHooks().allocate = &failingAllocate;
        const std::int32_t status = realFFTForward(x.data(), y.data(), plan.spec, nullptr);
        fftAllocHooks() = saved;
        EXPECT_EQ(status, kFFTMemoryError);
        EXPECT_EQ(y, std::vector<double>(4096, 3.0));
        // Orders without scratch never allocate.
        Plan small(6);
        EXPECT_EQ(small.spec->tempSize, 0);
        fftAllocHooks().allocate = &failingAllocate;
        const std::int32_t smallStatus = realFFTForward(x.data(), y.data(), small.spec, nullptr);
        fftAllocHooks() = saved;
        EXPECT_EQ(smallStatus, kFFTNoError);
    }
}

// The direct real transforms, reached by name per level (level 4 no longer selects order 5 but
// keeps it).
using RealDirectFn = void (*)(int, const double*, double*, const double*);

std::vector<std::pair<int, RealDirectFn>> realDirectKernels() {
    std::vector<std::pair<int, RealDirectFn>> k = {{0, &fft::level0::realDFTDirect}};
    if (fftNativeLevel() >= 2) k.emplace_back(2, &fft::level2::realDFTDirect);
    if (fftNativeLevel() >= 3) k.emplace_back(3, &fft::level3::realDFTDirect);
    if (fftNativeLevel() >= 4) k.emplace_back(4, &fft::level4::realDFTDirect);
    return k;
}

TEST(RealDFTDirect, MatchesTheDefinitionScaledAndInPlace) {
    for (const auto& [level, kernel] : realDirectKernels()) {
        for (int order = 0; order <= 5; ++order) {
            SCOPED_TRACE("level " + std::to_string(level) + " order " + std::to_string(order));
            const std::size_t n = std::size_t{1} << order;
            const std::vector<double> x = noise(n, 21);
            const std::vector<long double> ref = referenceSpectrum(x);
            std::vector<double> plain(n), one(n), quarter(n), inPlace = x;
            const double unit = 1.0, q = 0.25;
            kernel(order, x.data(), plain.data(), nullptr);
            kernel(order, x.data(), one.data(), &unit);
            kernel(order, x.data(), quarter.data(), &q);
            kernel(order, inPlace.data(), inPlace.data(), nullptr);
            for (std::size_t i = 0; i < n; ++i) {
                EXPECT_NEAR(plain[i], static_cast<double>(ref[i]), 8 * DBL_EPSILON * n);
                EXPECT_NEAR(quarter[i], 0.25 * plain[i], 8 * DBL_EPSILON * n);
            }
            EXPECT_EQ(one, plain);
            EXPECT_EQ(inPlace, plain);
        }
    }
}

// One plan serves several threads at once when each brings its own work buffer.
TEST(RealFFT, ConcurrentTransformsShareOnePlan) {
    for (int order : {12, 16}) {
        SCOPED_TRACE(order);
        const std::size_t n = std::size_t{1} << order;
        Plan plan(order);
        const std::vector<double> x = noise(n, 5);
        std::vector<double> expect(n);
        ASSERT_EQ(realFFTForward(x.data(), expect.data(), plan.spec, plan.workPtr()), kFFTNoError);
        constexpr int kThreads = 4;
        std::vector<int> mismatches(kThreads, 0);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                std::vector<std::uint8_t> work(plan.work.size());
                std::vector<double> y(n);
                for (int rep = 0; rep < 20; ++rep) {
                    std::vector<double> in = x;
                    // Alternate in place and out of place, with and without a work buffer.
                    double* out = rep % 2 ? in.data() : y.data();
                    std::uint8_t* w = rep % 3 ? work.data() : nullptr;
                    if (realFFTForward(in.data(), out, plan.spec, w) != kFFTNoError) ++mismatches[t];
                    if (!std::equal(expect.begin(), expect.end(), out)) ++mismatches[t];
                }
            });
        }
        for (std::thread& th : threads) th.join();
        EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
    }
}

TEST(FftDispatch, RefusesLevelsAboveTheProcessor) {
    EXPECT_FALSE(setFFTDispatchLevelForTesting(5));
    EXPECT_FALSE(setFFTDispatchLevelForTesting(-1));
    EXPECT_EQ(initFFTCPUDispatch() == kFFTNoError || initFFTCPUDispatch() == kFFTNotIntel ||
                  initFFTCPUDispatch() == kFFTNotSupported,
              true);
    EXPECT_EQ(fftDispatchLevel(), fftNativeLevel());
}

}  // namespace
}  // namespace tal
