#include "Audio/Filters/FirstOrderRoutines.h"

#include "Audio/Filters/CAudioFilterLPHP1Gen.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/FilterRoutineTables.h"
#include "support/FilterTestSupport.h"
#include "support/RoutineRunner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace tal {
namespace {

using test::RoutineRunner;
constexpr double kFs = 48000.0;
constexpr int kLowPass = 2, kHighPass = 3, kHighPassGain = 4;   // first-order table entries

std::vector<double> lphp1(int type, double freq) {
    CAudioFilterLPHP1Gen gen;
    EXPECT_TRUE(gen.configure(type));
    const CAudioFilterStageList s = test::design(gen, freq, 1.0, 1.0);
    EXPECT_EQ(s.count(), 1);
    std::vector<double> c(3);
    s[0].copyCoefficients(c.data());
    return c;
}

RoutineRunner firstOrder(CDCDAWContext& context, const std::vector<double>& c, int process, double rate = kFs) {
    return RoutineRunner(context, kFirstOrderRoutineTable, process, sizeof(CFirstOrderState), c, rate);
}

TEST(FirstOrderRoutines, LowPassFollowsDcAndHighPassRejectsIt) {
    CDCDAWContext context;
    const std::vector<double> dc(20000, 0.75);
    RoutineRunner lp = firstOrder(context, lphp1(0, 100), kLowPass);
    RoutineRunner hp = firstOrder(context, lphp1(1, 100), kHighPass);
    RoutineRunner hpg = firstOrder(context, lphp1(2, 100), kHighPassGain);
    EXPECT_NEAR(lp.run(dc).back(), 0.75, 1e-12);
    EXPECT_NEAR(hp.run(dc).back(), 0.0, 1e-12);
    EXPECT_NEAR(hpg.run(dc).back(), 0.0, 1e-12);
}

TEST(FirstOrderRoutines, SteadyResponseMatchesStageMagnitude) {
    CDCDAWContext context;
    for (int type : {0, 1, 2}) {
        CAudioFilterLPHP1Gen gen;
        ASSERT_TRUE(gen.configure(type));
        const CAudioFilterStageList s = test::design(gen, 1000, 1.0, 1.0);
        for (double probe : {200.0, 1000.0, 7000.0}) {
            SCOPED_TRACE(::testing::Message() << "type " << type << " probe " << probe);
            RoutineRunner r = firstOrder(context, lphp1(type, 1000), kLowPass + type);
            const std::vector<double> out = r.run(test::testSine(9600, probe, kFs));
            EXPECT_NEAR(test::sineAmplitude(out, 4800, probe, kFs), s[0].magnitudeAt(probe, kFs), 1e-6);
        }
    }
}

TEST(FirstOrderRoutines, GlideFollowsRaisedCosineAndLandsExactly) {
    CDCDAWContext context;
    const std::vector<double> c1 = lphp1(2, 200), c2 = lphp1(2, 5000);
    const double k1 = c1[2] + 1.0, k2 = c2[2] + 1.0, g1 = c1[1] / c1[2], g2 = c2[1] / c2[2];
    const std::vector<double> in = test::testNoise(1000, 4);
    for (int chunk : {1, 7, 512}) {
        SCOPED_TRACE(chunk);
        RoutineRunner r = firstOrder(context, c1, kHighPassGain);
        r.update(c2);
        const std::vector<double> out = r.run(in, {chunk});
        // Reference: the smoother with coefficients interpolated along 0.5 cos(pi j / n).
        const int n = 720;
        double s = 0.0;
        for (int j = 0; j < static_cast<int>(in.size()); ++j) {
            double k = k2, g = g2;
            if (j < n) {
                const double h = 0.5 * std::cos(std::numbers::pi * j / n);
                k = (0.5 + h) * k1 + (0.5 - h) * k2;
                g = (0.5 + h) * g1 + (0.5 - h) * g2;
            }
            s = k * (in[static_cast<std::size_t>(j)] - s) + s;
            ASSERT_NEAR(out[static_cast<std::size_t>(j)], g * (in[static_cast<std::size_t>(j)] - s), 1e-9) << "sample " << j;
        }
        const CFirstOrderState& st = r.state<CFirstOrderState>();
        EXPECT_EQ(st.remaining, 0);
        EXPECT_EQ(st.k, k2);
        EXPECT_EQ(st.g, g2);
    }
}

TEST(FirstOrderRoutines, GlideLengthIsFifteenMilliseconds) {
    CDCDAWContext context;
    const struct { double rate; int n; } rows[] = {{44100, 662}, {48000, 720}, {30, 1}, {0, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.rate);
        RoutineRunner r = firstOrder(context, lphp1(0, 5), kLowPass, row.rate);
        EXPECT_EQ(r.state<CFirstOrderState>().n, row.n);
        r.update(lphp1(0, 1));
        for (double y : r.run(test::testNoise(4, 8)))
            EXPECT_TRUE(std::isfinite(y));
    }
}

TEST(FirstOrderRoutines, OnlyNewestPendingValuesApply) {
    CDCDAWContext context;
    const std::vector<double> c1 = lphp1(0, 100), c2 = lphp1(0, 1000), skipped = lphp1(0, 9000), c3 = lphp1(0, 50);
    const std::vector<double> in = test::testNoise(2000, 6);
    RoutineRunner chained = firstOrder(context, c1, kLowPass);
    chained.update(c2);
    chained.update(skipped);
    chained.update(c3);
    const std::vector<double> out = chained.run(in);

    RoutineRunner direct = firstOrder(context, c1, kLowPass);
    direct.update(c2);
    std::vector<double> expect = direct.run(std::vector<double>(in.begin(), in.begin() + 720));
    direct.update(c3);
    const std::vector<double> rest = direct.run(std::vector<double>(in.begin() + 720, in.end()));
    expect.insert(expect.end(), rest.begin(), rest.end());
    EXPECT_EQ(out, expect);
    EXPECT_EQ(chained.state<CFirstOrderState>().k, c3[2] + 1.0);
}

} // namespace
} // namespace tal
