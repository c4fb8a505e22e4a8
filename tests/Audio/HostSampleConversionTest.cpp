#include "Audio/HostSampleConversion.h"

#include "Audio/CDenormNoiseGen.h"

#include <gtest/gtest.h>

#include <cstring>

#include <cmath>
#include <vector>

namespace {

using namespace tal;

const double kNoiseBound = std::ldexp(1.0, -42);

TEST(HostSampleConversion, ReadsEitherSampleSizeFromTheOffsetWithOrWithoutNoise) {
    const std::vector<float> f = {9.0f, 0.25f, -0.5f, 1.0f / 3.0f, 7.0f};
    const std::vector<double> d = {9.0, 0.25, -0.5, 1.0 / 3.0, 7.0};
    for (bool is64 : {false, true}) {
        for (bool withNoise : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "64-bit " << is64 << ", noise " << withNoise);
            CDenormNoiseGen gen;
            gen.seed(12345);
            double out[3];
            readHostChannel(is64 ? static_cast<const void*>(d.data()) : f.data(), is64, 1, 3,
                            withNoise ? &gen : nullptr, out);
            for (int i = 0; i < 3; ++i) {
                const double expected = is64 ? d[1 + i] : double(f[1 + i]);
                if (withNoise) {
                    EXPECT_NE(out[i], expected);
                    EXPECT_LE(std::fabs(out[i] - expected), kNoiseBound * 1.0000001);
                } else {
                    EXPECT_EQ(out[i], expected);
                }
            }
        }
    }
}

TEST(HostSampleConversion, MissingBufferGivesNoiseOrSilence) {
    CDenormNoiseGen gen;
    gen.seed(99);
    double noisy[37], quiet[37];
    readHostChannel(nullptr, false, 0, 37, &gen, noisy);
    readHostChannel(nullptr, true, 0, 37, nullptr, quiet);
    int exactZeros = 0;
    for (int i = 0; i < 37; ++i) {
        EXPECT_LT(std::fabs(noisy[i]), kNoiseBound * 1.0000001);
        exactZeros += noisy[i] == 0.0;
        EXPECT_EQ(quiet[i], 0.0);
    }
    EXPECT_LT(exactZeros, 3);   // noise, not silence
}

TEST(HostSampleConversion, WritesRoundToFloatAndClearsTheRest) {
    const double in[3] = {0.1, -1.0 / 3.0, 1e300};
    std::vector<float> f(6, 5.0f);
    std::vector<double> d(6, 5.0);
    writeHostChannel(in, f.data(), false, 2, 3);
    writeHostChannel(in, d.data(), true, 2, 3);
    EXPECT_EQ(f[1], 5.0f);
    EXPECT_EQ(f[2], 0.1f);
    EXPECT_EQ(f[3], float(-1.0 / 3.0));
    EXPECT_TRUE(std::isinf(f[4]));
    EXPECT_EQ(d[3], -1.0 / 3.0);
    clearHostChannel(f.data(), false, 5, 6);
    clearHostChannel(d.data(), true, 0, 2);
    EXPECT_EQ(f[5], 0.0f);
    EXPECT_EQ(d[0], 0.0);
    EXPECT_EQ(d[1], 0.0);
    EXPECT_EQ(d[2], 0.1);
    writeHostChannel(in, nullptr, false, 0, 3);   // a missing host buffer is skipped
    clearHostChannel(nullptr, true, 0, 3);
}

// Longer runs go four at a time: every value rounds as one conversion does, and nothing beyond the
// run is written.
TEST(HostSampleConversion, LongRunsRoundEveryValueAndStopAtTheirEnd) {
    std::vector<double> in(13);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = (i % 2 ? -1.0 : 1.0) / double(i + 3) + 1e-9 * double(i);
    in[5] = 1e300;
    in[6] = 1e-50;
    std::vector<float> out(20, 7.0f);
    writeHostChannel(in.data(), out.data(), false, 3, 13);
    for (int i = 0; i < 20; ++i) {
        const float expected = i < 3 || i >= 16 ? 7.0f : float(in[std::size_t(i - 3)]);
        EXPECT_EQ(std::memcmp(&out[std::size_t(i)], &expected, sizeof expected), 0) << i;
    }
}

} // namespace
