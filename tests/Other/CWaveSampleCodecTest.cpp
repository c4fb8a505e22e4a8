#include "Other/CWaveSampleCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tal {
namespace {

using F = EWaveSampleFormat;

struct DecodeCase {
    const char* name;
    F format;
    std::vector<std::uint8_t> bytes;   // one sample
    double expected;
};

class WaveDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(WaveDecode, OneSample) {
    const DecodeCase& c = GetParam();
    // The sample sits in the middle of a 3-sample frame: the stride must be honoured.
    const int size = int(c.bytes.size());
    std::vector<std::uint8_t> frames(std::size_t(size * 3 * 2), 0xEE);
    for (int f = 0; f < 2; ++f) std::copy(c.bytes.begin(), c.bytes.end(), frames.begin() + (f * 3 + 1) * size);
    double out[2] = {};
    CWaveSampleCodec::decode(c.format, frames.data() + size, size * 3, out, 2);
    EXPECT_EQ(out[0], c.expected);
    EXPECT_EQ(out[1], c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WaveDecode,
    ::testing::Values(DecodeCase{"U8Zero", F::kU8, {0x80}, 0.0}, DecodeCase{"U8Min", F::kU8, {0x00}, -1.0},
                      DecodeCase{"U8Max", F::kU8, {0xFF}, 127.0 / 128}, DecodeCase{"S8Min", F::kS8, {0x80}, -1.0},
                      DecodeCase{"S8MinusOne", F::kS8, {0xFF}, -1.0 / 128}, DecodeCase{"S16LEMin", F::kS16LE, {0x00, 0x80}, -1.0},
                      DecodeCase{"S16LEMax", F::kS16LE, {0xFF, 0x7F}, 32767.0 / 32768},
                      DecodeCase{"S16BE", F::kS16BE, {0x01, 0x02}, 258.0 / 32768},
                      DecodeCase{"S24LEMin", F::kS24LE, {0x00, 0x00, 0x80}, -1.0},
                      DecodeCase{"S24BEMin", F::kS24BE, {0x80, 0x00, 0x00}, -1.0},
                      DecodeCase{"S24LEMinusOne", F::kS24LE, {0xFF, 0xFF, 0xFF}, -1.0 / 8388608},
                      DecodeCase{"S24BE", F::kS24BE, {0x01, 0x02, 0x03}, 66051.0 / 8388608},
                      DecodeCase{"S32LE", F::kS32LE, {0x00, 0x00, 0x00, 0xC0}, -0.5},
                      DecodeCase{"S32BE", F::kS32BE, {0x7F, 0xFF, 0xFF, 0xFF}, 2147483647.0 / 2147483648.0},
                      DecodeCase{"F32LE", F::kF32LE, {0x00, 0x00, 0xC0, 0x3F}, 1.5},
                      DecodeCase{"F32BE", F::kF32BE, {0xBF, 0x80, 0x00, 0x00}, -1.0},
                      DecodeCase{"F64LE", F::kF64LE, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, 1.5},
                      DecodeCase{"F64BE", F::kF64BE, {0xC0, 0x04, 0, 0, 0, 0, 0, 0}, -2.5}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(CWaveSampleCodec, SelectsLayoutsOfTheSupportedFormatsOnly) {
    EXPECT_EQ(CWaveSampleCodec::select(false, 8, true, true), F::kU8);
    EXPECT_EQ(CWaveSampleCodec::select(false, 8, false, false), F::kS8);
    EXPECT_EQ(CWaveSampleCodec::select(false, 24, false, false), F::kS24BE);
    EXPECT_EQ(CWaveSampleCodec::select(true, 64, true, true), F::kF64LE);
    EXPECT_EQ(CWaveSampleCodec::select(true, 16, true, true), F::kInvalid);
    EXPECT_EQ(CWaveSampleCodec::select(false, 64, true, true), F::kInvalid);
}

TEST(CWaveSampleCodec, DitherIsTriangularInTheOpenUnitInterval) {
    CWaveDitherState state = CWaveDitherState::fromSeed(1);
    const int n = 200000;
    double sum = 0;
    int inner = 0;
    for (int i = 0; i < n; ++i) {
        const double d = state.nextDither();
        ASSERT_GT(d, -1.0);
        ASSERT_LT(d, 1.0);
        sum += d;
        inner += std::abs(d) < 0.5;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.01);
    EXPECT_NEAR(double(inner) / n, 0.75, 0.01);   // the triangle holds 3/4 of its area within +-1/2
}

TEST(CWaveSampleCodec, DitherSequenceFollowsTheSeed) {
    CWaveDitherState a = CWaveDitherState::fromSeed(7), b = CWaveDitherState::fromSeed(7), c = CWaveDitherState::fromSeed(8);
    int differences = 0;
    for (int i = 0; i < 100; ++i) {
        const std::uint64_t x = a.next();
        ASSERT_EQ(x, b.next());
        differences += x != c.next();
    }
    EXPECT_GT(differences, 95);
}

TEST(CWaveSampleCodec, RoundsHalvesAwayFromZero) {
    const double cases[][2] = {{0.5, 1}, {-0.5, -1}, {1.5, 2}, {-2.5, -3}, {2.4, 2}, {-2.6, -3}, {0.0, 0}};
    for (const auto& c : cases) EXPECT_EQ(CWaveSampleCodec::roundHalfAway(c[0]), c[1]) << c[0];
}

TEST(CWaveSampleCodec, EncodesIntegersWithinOneAndAHalfStepsAndClipsTheRest) {
    struct Row { F format; int bytes, realBits; };
    for (const Row r : {Row{F::kU8, 1, 8}, Row{F::kS16LE, 2, 16}, Row{F::kS24LE, 3, 20}, Row{F::kS32LE, 4, 32}}) {
        SCOPED_TRACE(r.realBits);
        const std::vector<double> in = {0.0, 0.25, -0.75, 0.999, -1.0, 1.0, 5.0, -5.0};
        std::vector<std::uint8_t> bytes(in.size() * std::size_t(r.bytes));
        CWaveDitherState dither = CWaveDitherState::fromSeed(3);
        CWaveSampleCodec::encode(r.format, r.realBits, in.data(), bytes.data(), r.bytes, int(in.size()), dither);
        std::vector<double> out(in.size());
        CWaveSampleCodec::decode(r.format, bytes.data(), r.bytes, out.data(), int(in.size()));
        const double step = std::ldexp(1.0, 1 - r.realBits);
        for (std::size_t i = 0; i < in.size(); ++i) {
            const double clipped = std::clamp(in[i], -1.0, 1.0 - step);
            EXPECT_LE(std::abs(out[i] - clipped), 1.5 * step) << in[i];
        }
        EXPECT_EQ(out[6], 1.0 - step);   // beyond full scale: the largest value
        EXPECT_EQ(out[7], -1.0);
    }
}

} // namespace
} // namespace tal
