#include "Audio/CDenormNoiseGen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace tal {
namespace {

// Reference words worked out separately from the recurrence (state (1, 0, 0), no warm-up).
TEST(CDenormNoiseGen, StepsFollowTheRecurrence) {
    CDenormNoiseGen gen{1, 0, 0};
    const std::uint64_t expected[] = {0x5555555555555556ull, 0x1b6db6db5ull, 0xebaebac14514515eull, 0x5083baafd73f0e4ull};
    for (std::uint64_t word : expected)
        EXPECT_EQ(gen.step(), word);
}

TEST(CDenormNoiseGen, SeedStepsFiveTimesAndFillTakesSixteenBitPieces) {
    CDenormNoiseGen gen;
    gen.seed(7);
    double out[6] = {};
    gen.fill(out, 6);
    // The sixth word after seed 7 is 0xb47472a914e0a693: pieces 42643, 5344, 29353, 46196.
    const double pieces[] = {42643, 5344, 29353, 46196};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(out[i], pieces[i] * std::ldexp(1.0, -57) - std::ldexp(1.0, -42)) << i;
}

// Filling in calls of any length gives the values taken piece by piece from the words of a twin
// generator; a call that ends one to three samples into a word still uses up that word.
TEST(CDenormNoiseGen, FillGivesThePiecesOfSuccessiveWordsForAnyCallLength) {
    CDenormNoiseGen gen, twin;
    gen.seed(99);
    twin.seed(99);
    const double scale = std::ldexp(1.0, -57), offset = std::ldexp(1.0, -42);
    for (int length : {1, 2, 3, 4, 5, 7, 8, 512, 13, 1}) {
        std::vector<double> out(static_cast<std::size_t>(length));
        gen.fill(out.data(), length);
        std::uint64_t word = 0;
        for (int i = 0; i < length; ++i) {
            if (i % 4 == 0)
                word = twin.step();
            const double expected = double((word >> (16 * (i % 4))) & 0xFFFF) * scale - offset;
            ASSERT_EQ(std::memcmp(&out[std::size_t(i)], &expected, sizeof expected), 0) << length << " " << i;
        }
    }
}

// Adding the noise to 64-bit or 32-bit input in one pass gives input + the values fill() gives,
// for every length (a final run of one to three samples still takes a whole word).
TEST(CDenormNoiseGen, AddingMatchesInputPlusFilledNoise) {
    CDenormNoiseGen a, b, twin;
    a.seed(5);
    b.seed(5);
    twin.seed(5);
    for (int length : {1, 3, 4, 6, 512, 9}) {
        std::vector<double> in64(static_cast<std::size_t>(length)), out64(in64.size()), out32(in64.size()), noise(in64.size());
        std::vector<float> in32(in64.size());
        for (int i = 0; i < length; ++i) {
            in32[std::size_t(i)] = float(0.001 * (i - 3));
            in64[std::size_t(i)] = 0.37 * (i - 200);
        }
        a.addToDouble(in64.data(), out64.data(), length);
        b.addToFloat(in32.data(), out32.data(), length);
        twin.fill(noise.data(), length);
        for (int i = 0; i < length; ++i) {
            const std::size_t k = std::size_t(i);
            const double e64 = in64[k] + noise[k], e32 = double(in32[k]) + noise[k];
            ASSERT_EQ(std::memcmp(&out64[k], &e64, sizeof e64), 0) << length << " " << i;
            ASSERT_EQ(std::memcmp(&out32[k], &e32, sizeof e32), 0) << length << " " << i;
        }
    }
}

TEST(CDenormNoiseGen, ValuesStayBelowTwoToTheMinus42AndAreNeverDenormal) {
    CDenormNoiseGen gen;
    gen.seed(12345);
    std::vector<double> out(10001);
    gen.fill(out.data(), int(out.size()));
    const double bound = std::ldexp(1.0, -42);
    double sum = 0.0;
    for (double v : out) {
        ASSERT_GE(v, -bound);
        ASSERT_LT(v, bound);
        ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);
        sum += v;
    }
    EXPECT_LT(std::fabs(sum / double(out.size())), bound / 20);   // centred near zero
}

TEST(CDenormNoiseGen, SeedsFromTheCounterDiffer) {
    CDenormNoiseGen a, b;
    a.seedFromCounter();
    b.seedFromCounter();
    double x[8], y[8];
    a.fill(x, 8);
    b.fill(y, 8);
    EXPECT_NE(std::vector<double>(x, x + 8), std::vector<double>(y, y + 8));
}

} // namespace
} // namespace tal
