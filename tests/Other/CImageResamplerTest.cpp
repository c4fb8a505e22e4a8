#include "Other/CImageResampler.h"

#include "Other/CResampleKernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace tal {
namespace {

TEST(CResampleKernel, TapsFollowTheStep) {
    struct Case {
        double step;
        std::int32_t taps;
        double halfWidth;
    };
    for (const Case& c : {Case{2.0, 12, 6.0}, Case{2.0 / 3.0, 6, 3.0}, Case{1.6, 10, 4.8}, Case{1.0, 6, 3.0}}) {
        SCOPED_TRACE(c.step);
        CResampleKernel k;
        EXPECT_TRUE(k.init(4, 3.0, c.step));
        EXPECT_EQ(k.taps(), c.taps);
        EXPECT_NEAR(k.halfWidth(), c.halfWidth, 1e-12);
        EXPECT_EQ(k.rowLength(), c.taps * 4);
        EXPECT_FALSE(k.init(4, 3.0, c.step));   // same key: kept
    }
}

TEST(CResampleKernel, EveryPhaseRowSumsToOneAndRepeatsPerChannel) {
    for (double step : {0.5, 1.0, 1.6, 2.0}) {
        for (std::int32_t ch : {1, 3}) {
            SCOPED_TRACE(::testing::Message() << "step " << step << " channels " << ch);
            CResampleKernel k;
            k.init(ch, 3.0, step);
            for (int phase = 0; phase <= 1000; phase += 7) {
                const float* row = k.getWeights(phase / 1000.0);
                double sum = 0.0;
                for (std::int32_t t = 0; t < k.taps(); ++t) {
                    for (std::int32_t c = 1; c < ch; ++c)
                        ASSERT_EQ(row[t * ch + c], row[t * ch]);
                    sum += row[t * ch];
                }
                ASSERT_NEAR(sum, 1.0, 1e-5);
                ASSERT_EQ(k.getWeights(phase / 1000.0), row);   // computed once
            }
        }
    }
}

TEST(CResampleKernel, CentreTapAtPhasesZeroAndOneThousand) {
    CResampleKernel k;
    k.init(1, 3.0, 1.0);
    // Unit step: only the centre tap is non-zero (the other taps sit on zeros of the sinc).
    const float* atZero = k.getWeights(0.0);
    EXPECT_NEAR(atZero[k.half() - 1], 1.0f, 1e-6);   // k = -1 carries the sample at phase 0
    const float* atOne = k.getWeights(0.9999);
    EXPECT_NEAR(atOne[k.half()], 1.0f, 1e-6);
}

double sinc(double x) { return x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); }

// The filter written directly in double precision: for each output sample, the normalised window
// over the taps around its source position, edge samples standing in for samples past the edges.
std::vector<double> referenceAxisWeights(double t, double step, double lobes, std::int64_t& first) {
    const double cutoff = step > 1.0 ? 1.0 / step : 1.0;
    const double reach = lobes / cutoff;
    const std::int64_t half = std::int64_t(std::ceil(reach));
    first = std::int64_t(std::floor(t)) - half + 1;
    std::vector<double> w(std::size_t(2 * half));
    double sum = 0.0;
    for (std::size_t j = 0; j < w.size(); ++j) {
        const double d = double(first + std::int64_t(j)) - t;
        w[j] = std::fabs(d) > reach ? 0.0 : sinc(cutoff * d) * sinc(cutoff * d / lobes);
        sum += w[j];
    }
    for (double& v : w)
        v /= sum;
    return w;
}

std::vector<std::uint8_t> referenceResample(const std::vector<std::uint8_t>& src, int sw, int sh, int ch, int dw, int dh) {
    const double stepX = double(sw) / dw, stepY = double(sh) / dh;
    std::vector<std::uint8_t> out(std::size_t(dw * dh * ch));
    for (int y = 0; y < dh; ++y) {
        std::int64_t fy = 0;
        const std::vector<double> wy = referenceAxisWeights(-0.5 + stepY / 2 + y * stepY, stepY, 3.0, fy);
        for (int x = 0; x < dw; ++x) {
            std::int64_t fx = 0;
            const std::vector<double> wx = referenceAxisWeights(-0.5 + stepX / 2 + x * stepX, stepX, 3.0, fx);
            for (int c = 0; c < ch; ++c) {
                double v = 0.0;
                for (std::size_t j = 0; j < wy.size(); ++j) {
                    const std::int64_t sy = std::clamp<std::int64_t>(fy + std::int64_t(j), 0, sh - 1);
                    for (std::size_t i = 0; i < wx.size(); ++i) {
                        const std::int64_t sx = std::clamp<std::int64_t>(fx + std::int64_t(i), 0, sw - 1);
                        v += wy[j] * wx[i] * src[std::size_t((sy * sw + sx) * ch + c)];
                    }
                }
                out[std::size_t((y * dw + x) * ch + c)] = std::uint8_t(std::floor(std::clamp(v, 0.0, 255.0) + 0.5));
            }
        }
    }
    return out;
}

struct SizeCase {
    int sw, sh, dw, dh, ch;
};

class CImageResamplerSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(CImageResamplerSizes, MatchesTheDirectFilterWithinOneLevel) {
    const SizeCase& c = GetParam();
    std::mt19937 rng(7);
    std::vector<std::uint8_t> src(std::size_t(c.sw * c.sh * c.ch));
    // Blocks of flat colour with sharp edges, so that overshoot and clamping show.
    for (int y = 0; y < c.sh; ++y)
        for (int x = 0; x < c.sw; ++x)
            for (int k = 0; k < c.ch; ++k)
                src[std::size_t((y * c.sw + x) * c.ch + k)] = std::uint8_t(((x / 3 + y / 4 + k) % 3) * 120 + rng() % 8);
    std::vector<std::uint8_t> dst(std::size_t(c.dw * c.dh * c.ch), 0xEE);
    CImageResampler r;
    ASSERT_EQ(r.resample(src.data(), c.sw, c.sh, dst.data(), c.dw, c.dh, c.ch, nullptr), c.dh);
    const std::vector<std::uint8_t> ref = referenceResample(src, c.sw, c.sh, c.ch, c.dw, c.dh);
    for (std::size_t i = 0; i < dst.size(); ++i)
        ASSERT_NEAR(int(dst[i]), int(ref[i]), 1) << "byte " << i;
    // A second run on the same workspace (cached weights and tables) gives the same bytes.
    std::vector<std::uint8_t> again(dst.size());
    ASSERT_EQ(r.resample(src.data(), c.sw, c.sh, again.data(), c.dw, c.dh, c.ch, nullptr), c.dh);
    EXPECT_EQ(again, dst);
}

INSTANTIATE_TEST_SUITE_P(Scales, CImageResamplerSizes,
                         ::testing::Values(SizeCase{40, 48, 20, 24, 4},   // 2 -> 1
                                           SizeCase{30, 20, 45, 30, 4},   // 2 -> 3
                                           SizeCase{32, 16, 20, 10, 1},   // 2 -> 1.25
                                           SizeCase{17, 13, 25, 9, 2},    // different steps per axis
                                           SizeCase{9, 7, 31, 29, 3},     // strong enlargement
                                           SizeCase{5, 3, 1, 1, 4}));     // to one pixel

TEST(CImageResampler, UniformSourceStaysUniform) {
    for (int ch : {1, 2, 3, 4}) {
        SCOPED_TRACE(ch);
        std::vector<std::uint8_t> src(std::size_t(23 * 19 * ch));
        for (std::size_t i = 0; i < src.size(); ++i)
            src[i] = std::uint8_t(40 + 50 * int(i % std::size_t(ch)));
        for (int dw : {7, 23, 41}) {
            std::vector<std::uint8_t> dst(std::size_t(dw * 11 * ch));
            CImageResampler r;
            ASSERT_EQ(r.resample(src.data(), 23, 19, dst.data(), dw, 11, ch, nullptr), 11);
            for (std::size_t i = 0; i < dst.size(); ++i)
                ASSERT_EQ(dst[i], 40 + 50 * int(i % std::size_t(ch))) << dw << " " << i;
        }
    }
}

TEST(CImageResampler, InvalidArgumentsWriteNothing) {
    std::vector<std::uint8_t> src(16 * 4, 100), dst(16 * 4, 0xAB);
    CImageResampler r;
    CResampleParams lobes;
    lobes.lobes = 1.5;
    CResampleParams nanStep;
    nanStep.stepX = std::nan("");
    CResampleParams hugeShrink;
    hugeShrink.stepX = -5000.0;
    struct Case {
        const char* name;
        const std::uint8_t* s;
        int sw, sh;
        std::uint8_t* d;
        int dw, dh, ch;
        const CResampleParams* p;
    };
    const Case cases[] = {
        {"no source", nullptr, 4, 4, dst.data(), 4, 4, 4, nullptr},
        {"no destination", src.data(), 4, 4, nullptr, 4, 4, 4, nullptr},
        {"same buffer", dst.data(), 4, 4, dst.data(), 4, 4, 4, nullptr},
        {"negative width", src.data(), -1, 4, dst.data(), 4, 4, 4, nullptr},
        {"empty destination", src.data(), 4, 4, dst.data(), 0, 4, 4, nullptr},
        {"five channels", src.data(), 4, 4, dst.data(), 4, 2, 5, nullptr},
        {"lobes 1.5", src.data(), 4, 4, dst.data(), 4, 4, 4, &lobes},
        {"NaN step", src.data(), 4, 4, dst.data(), 4, 4, 4, &nanStep},
        {"window too wide", src.data(), 4, 4, dst.data(), 4, 4, 4, &hugeShrink},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(r.resample(c.s, c.sw, c.sh, c.d, c.dw, c.dh, c.ch, c.p), 0);
        EXPECT_EQ(dst, std::vector<std::uint8_t>(16 * 4, 0xAB));
    }
}

TEST(CImageResampler, EmptySourceGivesAZeroDestination) {
    std::vector<std::uint8_t> src(4, 9), dst(3 * 2 * 2, 0xAB);
    CImageResampler r;
    EXPECT_EQ(r.resample(src.data(), 0, 5, dst.data(), 3, 2, 2, nullptr), 2);
    EXPECT_EQ(dst, std::vector<std::uint8_t>(12, 0));
}

TEST(CImageResampler, StridesAndExplicitPositions) {
    // A source with padded rows, sampled at unit step from column 1 and row 2 on: an exact copy.
    const int sw = 6, sh = 5, stride = 9;
    std::vector<std::uint8_t> src(std::size_t(stride * sh), 0);
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x)
            src[std::size_t(y * stride + x)] = std::uint8_t(10 * y + x);
    std::vector<std::uint8_t> dst(4 * 8, 0xCD);
    CResampleParams p;
    p.sourceStride = stride;
    p.destStride = 8;
    p.stepX = -1.0;
    p.stepY = -1.0;
    p.startX = 1.0;
    p.startY = 2.0;
    CImageResampler r;
    ASSERT_EQ(r.resample(src.data(), sw, sh, dst.data(), 4, 3, 1, &p), 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dst[std::size_t(y * 8 + x)], 10 * (y + 2) + x + 1) << x << "," << y;
        EXPECT_EQ(dst[std::size_t(y * 8 + 4)], 0xCD);   // beyond the row: untouched
    }
}

TEST(CImageResampler, StaleSampleTablesAreNotReusedAfterTheStepChanges) {
    // Same lengths and start, a different horizontal step: the horizontal table must follow.
    std::vector<std::uint8_t> src(16 * 4);
    for (std::size_t i = 0; i < src.size(); ++i)
        src[i] = std::uint8_t(i * 15 % 256);
    CImageResampler shared;
    std::vector<std::uint8_t> first(8 * 4), second(8 * 4), fresh(8 * 4);
    CResampleParams a;
    a.stepX = -1.0, a.stepY = -1.0, a.startX = 2.0, a.startY = 0.0;
    CResampleParams b = a;
    b.stepX = -1.5;
    ASSERT_EQ(shared.resample(src.data(), 16, 4, first.data(), 8, 4, 1, &b), 4);
    ASSERT_EQ(shared.resample(src.data(), 16, 4, second.data(), 8, 4, 1, &a), 4);
    CImageResampler other;
    ASSERT_EQ(other.resample(src.data(), 16, 4, fresh.data(), 8, 4, 1, &a), 4);
    EXPECT_EQ(second, fresh);
}

} // namespace
} // namespace tal
