#include "fft/FftDispatch.h"
#include "fft/FftKernels.h"
#include "fft/FftPlan.h"
#include "fft/FftSineTable.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace tal::large_kernels_test {

// The large-order kernels of one instruction-set level.
struct LevelKernels {
    int level;
    int lanes;
    void (*block)(double*, std::int64_t, const double*, double*, std::int32_t);
    void (*inPlace)(double*, std::int64_t, const std::int32_t*);
    void (*copy)(const double*, double*, std::int64_t, const std::int32_t*);
    void (*step)(const RealFFTSpec*, const fft::FftLevelParams&, double*, int, int, double*);
};

std::vector<LevelKernels> supportedKernels() {
    const LevelKernels all[] = {
        {0, 2, fft::level0::complexFFTBlock, fft::level0::bitReverseInPlace, fft::level0::bitReverseCopy,
         fft::level0::largeComplexFFTStep},
        {2, 2, fft::level2::complexFFTBlock, fft::level2::bitReverseInPlace, fft::level2::bitReverseCopy,
         fft::level2::largeComplexFFTStep},
        {3, 2, fft::level3::complexFFTBlock, fft::level3::bitReverseInPlace, fft::level3::bitReverseCopy,
         fft::level3::largeComplexFFTStep},
        {4, 4, fft::level4::complexFFTBlock, fft::level4::bitReverseInPlace, fft::level4::bitReverseCopy,
         fft::level4::largeComplexFFTStep},
    };
    std::vector<LevelKernels> out;
    for (const LevelKernels& k : all)
        if (k.level <= fftNativeLevel()) out.push_back(k);
    return out;
}

std::uint32_t reverseIndex(std::uint32_t e, int bits) {
    std::uint32_t r = 0;
    for (int b = 0; b < bits; ++b) r |= ((e >> b) & 1u) << (bits - 1 - b);
    return r;
}

// n complex values with value e at element e: (e, -e - 0.5).
std::vector<double> indexedValues(std::size_t n, std::size_t pad) {
    std::vector<double> v(2 * n + pad);
    for (std::size_t e = 0; e < n; ++e) {
        v[pad + 2 * e] = static_cast<double>(e);
        v[pad + 2 * e + 1] = -static_cast<double>(e) - 0.5;
    }
    return v;
}

std::vector<std::int32_t> plainBitReversalTable(int bits) {
    std::vector<std::int32_t> table((std::size_t{1} << (bits > 2 ? bits - 2 : 0)) + 32);
    fft::buildBitRevTable(bits, table.data());
    return table;
}

// Both whole-array kernels put every value at its reversed index, in place and out of place, at
// 16-byte and at 8-byte alignment, on both sides of the copy's change of walk order (65536).
TEST(FftLargeKernels, WholeArrayBitReversalMovesEveryValueToItsReversedIndex) {
    for (const LevelKernels& k : supportedKernels()) {
        for (int bits : {3, 4, 6, 12, 16, 17}) {
            const std::size_t n = std::size_t{1} << bits;
            const std::vector<std::int32_t> table = plainBitReversalTable(bits);
            for (std::size_t pad : {0, 1}) {
                SCOPED_TRACE("level " + std::to_string(k.level) + " bits " + std::to_string(bits) + " pad " +
                             std::to_string(pad));
                const std::vector<double> src = indexedValues(n, pad);
                std::vector<double> inPlace = src;
                k.inPlace(inPlace.data() + pad, static_cast<std::int64_t>(n), table.data());
                std::vector<double> copy(src.size(), 7.0);
                k.copy(src.data() + pad, copy.data() + pad, static_cast<std::int64_t>(n), table.data());
                for (std::uint32_t e = 0; e < n; ++e) {
                    const double expect = static_cast<double>(reverseIndex(e, bits));
                    ASSERT_EQ(inPlace[pad + 2 * e], expect) << e;
                    ASSERT_EQ(inPlace[pad + 2 * e + 1], -expect - 0.5) << e;
                    ASSERT_EQ(copy[pad + 2 * e], expect) << e;
                    ASSERT_EQ(copy[pad + 2 * e + 1], -expect - 0.5) << e;
                }
                // The permutation is its own inverse.
                k.inPlace(inPlace.data() + pad, static_cast<std::int64_t>(n), table.data());
                ASSERT_EQ(inPlace, src);
            }
        }
    }
}

// The forward DFT of n complex values in long double.
std::vector<long double> directDft(const std::vector<double>& z) {
    const std::size_t n = z.size() / 2;
    std::vector<long double> out(2 * n);
    const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    std::vector<long double> c(n), s(n);
    for (std::size_t j = 0; j < n; ++j) {
        c[j] = std::cos(-twoPi * static_cast<long double>(j) / static_cast<long double>(n));
        s[j] = std::sin(-twoPi * static_cast<long double>(j) / static_cast<long double>(n));
    }
    for (std::size_t k = 0; k < n; ++k) {
        long double re = 0, im = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t a = (j * k) & (n - 1);
            re += z[2 * j] * c[a] - z[2 * j + 1] * s[a];
            im += z[2 * j] * s[a] + z[2 * j + 1] * c[a];
        }
        out[2 * k] = re;
        out[2 * k + 1] = im;
    }
    return out;
}

// A block transform's twiddles from the sine table of an order above the block (as the large plans
// build them): order bits + 1, or the constant table up to 10.
struct BlockTwiddles {
    std::vector<double> sine, table;
    BlockTwiddles(int bits, int lanes) : table(2 * (std::size_t{1} << bits) + 64) {
        const int order = bits + 1;
        fft::FftSineSource src{fft::kSineTable1024, 10};
        if (order > 10) {
            sine.resize((std::size_t{1} << order) / 4 + 64);
            fft::buildQuarterSineTable(order, sine.data());
            src = fft::FftSineSource{sine.data(), order};
        }
        fft::buildBlockTwiddles(bits, lanes, src, table.data());
    }
};

// The block transform of bit-reversed values gives the DFT of the natural-order values; its split
// output, converted to interleaved complex, is bit-identical to its interleaved output; an impulse
// at element 1 gives e^(-2 pi i k / n).
TEST(FftLargeKernels, BlockTransformOfBitReversedInputIsTheDft) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int bits : {5, 6, 7, 9, 10, 11}) {
        const std::size_t n = std::size_t{1} << bits;
        std::vector<double> z(2 * n);
        for (double& v : z) v = dist(rng);
        const std::vector<long double> expect = directDft(z);
        for (const LevelKernels& k : supportedKernels()) {
            SCOPED_TRACE("level " + std::to_string(k.level) + " bits " + std::to_string(bits));
            const BlockTwiddles tw(bits, k.lanes);
            std::vector<double> reversed(2 * n);
            for (std::uint32_t e = 0; e < n; ++e) {
                const std::uint32_t r = reverseIndex(e, bits);
                reversed[2 * e] = z[2 * r];
                reversed[2 * e + 1] = z[2 * r + 1];
            }
            std::vector<double> interleaved = reversed;
            k.block(interleaved.data(), static_cast<std::int64_t>(n), tw.table.data(), nullptr, 1);
            const long double bound = 4.0L * DBL_EPSILON * bits * std::sqrt(static_cast<long double>(n));
            for (std::size_t i = 0; i < 2 * n; ++i)
                ASSERT_NEAR(static_cast<double>(interleaved[i]), static_cast<double>(expect[i]), static_cast<double>(bound)) << i;

            std::vector<double> split = reversed;
            k.block(split.data(), static_cast<std::int64_t>(n), tw.table.data(), nullptr, 0);
            std::vector<double> converted(2 * n);
            for (std::size_t e = 0; e < n; ++e) {
                const std::size_t unit = e / k.lanes * 2 * k.lanes, lane = e % k.lanes;
                converted[2 * e] = split[unit + lane];
                converted[2 * e + 1] = split[unit + k.lanes + lane];
            }
            ASSERT_EQ(converted, interleaved);

            std::vector<double> impulse(2 * n, 0.0);
            impulse[2 * reverseIndex(1, bits)] = 1.0;
            k.block(impulse.data(), static_cast<std::int64_t>(n), tw.table.data(), nullptr, 1);
            for (std::size_t f = 0; f < n; ++f) {
                const long double a = -2.0L * std::numbers::pi_v<long double> * static_cast<long double>(f) /
                                      static_cast<long double>(n);
                ASSERT_NEAR(impulse[2 * f], static_cast<double>(std::cos(a)), 4 * DBL_EPSILON) << f;
                ASSERT_NEAR(impulse[2 * f + 1], static_cast<double>(std::sin(a)), 4 * DBL_EPSILON) << f;
            }
        }
    }
}

// The forward DFT of n = 2^bits complex values by a long-double radix-2 transform.
std::vector<long double> referenceFft(const std::vector<double>& z, int bits) {
    const std::size_t n = std::size_t{1} << bits;
    std::vector<long double> re(n), im(n);
    for (std::uint32_t e = 0; e < n; ++e) {
        re[reverseIndex(e, bits)] = z[2 * e];
        im[reverseIndex(e, bits)] = z[2 * e + 1];
    }
    const long double twoPi = 2.0L * std::numbers::pi_v<long double>;
    for (std::size_t len = 2; len <= n; len *= 2) {
        for (std::size_t k = 0; k < len / 2; ++k) {
            const long double a = -twoPi * static_cast<long double>(k) / static_cast<long double>(len);
            const long double wr = std::cos(a), wi = std::sin(a);
            for (std::size_t base = 0; base < n; base += len) {
                const std::size_t i = base + k, j = i + len / 2;
                const long double tr = re[j] * wr - im[j] * wi, ti = re[j] * wi + im[j] * wr;
                re[j] = re[i] - tr;
                im[j] = im[i] - ti;
                re[i] += tr;
                im[i] += ti;
            }
        }
    }
    std::vector<long double> out(2 * n);
    for (std::size_t k = 0; k < n; ++k) {
        out[2 * k] = re[k];
        out[2 * k + 1] = im[k];
    }
    return out;
}

// The large-order decomposition with schedules of our own: every column plan (4, 6, 7 and 8 outer
// bits, radix 4 and 8 passes, one and several column blocks) and a second depth, against the
// reference; a plan that scales by 0.5 gives exactly half (each row is scaled once, also deeper).
TEST(FftLargeKernels, ColumnPassesFinishTheTransformAtEveryDepth) {
    struct Schedule {
        const char* name;
        int m;
        std::vector<std::pair<int, int>> splits;  // (size, outer bits) per depth
        int columnBits;                           // log2 of the columns per block
        int innerLimit;
    };
    const Schedule schedules[] = {
        {"4 outer bits", 10, {{10, 4}}, 4, 6},
        {"6 outer bits", 11, {{11, 6}}, 3, 6},
        {"7 outer bits", 12, {{12, 7}}, 5, 6},
        {"8 outer bits", 13, {{13, 8}}, 3, 6},
        {"two depths", 13, {{13, 4}, {9, 4}}, 3, 6},
    };
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (const Schedule& sc : schedules) {
        const std::size_t n = std::size_t{1} << sc.m;
        std::vector<double> z(2 * n);
        for (double& v : z) v = dist(rng);
        const std::vector<long double> expect = referenceFft(z, sc.m);
        std::vector<double> reversed(2 * n);
        for (std::uint32_t e = 0; e < n; ++e) {
            reversed[2 * e] = z[2 * reverseIndex(e, sc.m)];
            reversed[2 * e + 1] = z[2 * reverseIndex(e, sc.m) + 1];
        }
        std::vector<double> sine((std::size_t{1} << (sc.m + 1)) / 4 + 64);
        fft::buildQuarterSineTable(sc.m + 1, sine.data());
        const fft::FftSineSource src{sine.data(), sc.m + 1};
        for (const LevelKernels& k : supportedKernels()) {
            SCOPED_TRACE(std::string(sc.name) + " level " + std::to_string(k.level));
            std::int8_t splitOrder[31] = {}, workOrder[31] = {};
            for (const auto& [size, outer] : sc.splits) {
                splitOrder[size] = static_cast<std::int8_t>(outer);
                workOrder[size] = static_cast<std::int8_t>(outer + sc.columnBits);
            }
            fft::FftLevelParams lp = fft::fftLevelParams(k.level);
            lp.innerLimit = sc.innerLimit;
            lp.splitOrder = splitOrder;
            lp.workOrder = workOrder;
            std::vector<double> tables(4 * n + 64);
            RealFFTSpec spec;
            fft::buildLargeBody(lp, &spec, sc.m, 0, src, fft::alignPtr64(tables.data()));
            std::vector<double> buffer(2 * n);
            std::vector<double> out = reversed;
            k.step(&spec, lp, out.data(), sc.m, 0, buffer.data());
            const double bound = 8.0 * DBL_EPSILON * sc.m * std::sqrt(static_cast<double>(n));
            for (std::size_t i = 0; i < 2 * n; ++i)
                ASSERT_NEAR(out[i], static_cast<double>(expect[i]), bound) << i;

            spec.scaleForward = 1;
            spec.factor = 0.5;
            std::vector<double> scaled = reversed;
            k.step(&spec, lp, scaled.data(), sc.m, 0, buffer.data());
            for (std::size_t i = 0; i < 2 * n; ++i) ASSERT_EQ(scaled[i], 0.5 * out[i]) << i;
        }
    }
}

// Every bit of a block or of the outer stages is taken by one pass, with radix 4 or 8.
TEST(FftLargeKernels, PassPlansCoverEveryBit) {
    for (int bits = 4; bits <= 17; ++bits) {
        int radices[16];
        const int passes = fft::fftBlockPlan(bits, radices);
        int covered = 0;
        for (int p = 0; p < passes; ++p) {
            ASSERT_TRUE(radices[p] == 4 || radices[p] == 8);
            covered += radices[p] == 8 ? 3 : 2;
        }
        EXPECT_EQ(covered, bits);
    }
    struct ColumnCase {
        int bits;
        std::vector<int> radices;
    };
    for (const ColumnCase& c : {ColumnCase{4, {4, 4}}, ColumnCase{6, {4, 4, 4}}, ColumnCase{7, {8, 4, 4}},
                                ColumnCase{8, {8, 8, 4}}}) {
        int radices[8];
        const int passes = fft::fftColumnPlan(c.bits, radices);
        EXPECT_EQ(std::vector<int>(radices, radices + passes), c.radices) << c.bits;
    }
}

}  // namespace tal::large_kernels_test
