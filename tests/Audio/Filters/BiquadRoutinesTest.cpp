#include "Audio/Filters/BiquadRoutines.h"

#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/FilterRoutineTables.h"
#include "support/FilterTestSupport.h"
#include "support/RoutineRunner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

namespace tal {
namespace {

using test::RoutineRunner;
constexpr double kFs = 48000.0;
constexpr int kCommon = 2, kLowPass = 3, kHighPass = 4, kBandPass = 5, kNotch = 6;   // RBJ table entries

std::vector<double> coefficientsOf(const CAudioFilterStage& s) {
    std::vector<double> c(static_cast<std::size_t>(s.coefficientCount()));
    s.copyCoefficients(c.data());
    return c;
}

std::vector<double> rbj(int type, double freq, double gain, double q) {
    CAudioFilterRBJGen gen;
    EXPECT_TRUE(gen.configure(type, {true, false, false, false}));
    const CAudioFilterStageList s = test::design(gen, freq, gain, q);
    EXPECT_EQ(s.count(), 1);
    return coefficientsOf(s[0]);
}

RoutineRunner biquad(CDCDAWContext& context, const std::vector<double>& c, int process = kCommon,
                     double rate = kFs) {
    return RoutineRunner(context, kRBJRoutineTable, process, sizeof(CBiquadState), c, rate);
}

// The specified morph written out plainly, with the crossfade weights taken from the cosine
// itself instead of the oscillator: a reference for the general-shape routine.
struct ReferenceBiquad {
    double q[5], t[5] = {}, w1 = 0, w2 = 0, u1 = 0, u2 = 0;
    int n, k = -1;
    ReferenceBiquad(const std::vector<double>& c, int length) : n(length) { load(q, c); }
    static void load(double* to, const std::vector<double>& c) {
        to[0] = c[0]; to[1] = c[1]; to[2] = c[2]; to[3] = -c[3]; to[4] = -c[4];
    }
    void update(const std::vector<double>& c) {
        load(t, c);
        k = 0;
        u1 = w1;
        u2 = w2;
    }
    double step(double x) {
        if (k < 0) {
            const double w = x + q[3] * w1 + q[4] * w2;
            const double y = q[0] * w + q[1] * w1 + q[2] * w2;
            w2 = w1;
            w1 = w;
            return y;
        }
        const double h = 0.5 * std::cos(std::numbers::pi * k / n), a = 0.5 + h, b = 0.5 - h;
        double i[5];
        for (int j = 0; j < 5; ++j)
            i[j] = a * q[j] + b * t[j];
        const double wa = x + i[3] * w1 + i[4] * w2, ya = i[0] * wa + i[1] * w1 + i[2] * w2;
        const double wb = x + q[3] * u1 + q[4] * u2, yb = q[0] * wb + q[1] * u1 + q[2] * u2;
        w2 = w1; w1 = wa; u2 = u1; u1 = wb;
        if (++k == n) {
            std::copy(t, t + 5, q);
            k = -1;
        }
        return a * yb + b * ya;
    }
};

TEST(BiquadRoutines, SteadyResponseMatchesStageMagnitude) {
    const struct { int type, process; } rows[] = {
        {CAudioFilterRBJGen::kLowPass, kLowPass}, {CAudioFilterRBJGen::kHighPass, kHighPass},
        {CAudioFilterRBJGen::kBandPassPeakQ, kBandPass}, {CAudioFilterRBJGen::kNotch, kNotch},
        {CAudioFilterRBJGen::kPeaking, kCommon}};
    CDCDAWContext context;
    for (const auto& row : rows) {
        const std::vector<double> c = rbj(row.type, 2000, 3.0, 1.5);
        CAudioFilterStage stage;
        stage.numeratorCount = 3;
        stage.denominatorCount = 2;
        std::copy(c.begin(), c.begin() + 3, stage.numerator);
        std::copy(c.begin() + 3, c.end(), stage.denominator);
        for (double probe : {300.0, 2000.0, 6000.0}) {
            SCOPED_TRACE(::testing::Message() << "type " << row.type << " probe " << probe);
            RoutineRunner r = biquad(context, c, row.process);
            const std::vector<double> out = r.run(test::testSine(9600, probe, kFs));
            EXPECT_NEAR(test::sineAmplitude(out, 4800, probe, kFs), stage.magnitudeAt(probe, kFs), 1e-6);
        }
    }
}

TEST(BiquadRoutines, ShapedRoutinesMatchGeneralForm) {
    const struct { int type, process; } rows[] = {
        {CAudioFilterRBJGen::kLowPass, kLowPass}, {CAudioFilterRBJGen::kHighPass, kHighPass},
        {CAudioFilterRBJGen::kBandPass, kBandPass}, {CAudioFilterRBJGen::kNotch, kNotch}};
    CDCDAWContext context;
    const std::vector<double> in = test::testNoise(3000, 11);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        const std::vector<double> c1 = rbj(row.type, 700, 2.0, 0.9), c2 = rbj(row.type, 5000, 0.5, 3.0);
        RoutineRunner shaped = biquad(context, c1, row.process), general = biquad(context, c1, kCommon);
        std::vector<double> a = shaped.run(in), b = general.run(in);
        shaped.update(c2);            // and through a morph
        general.update(c2);
        const std::vector<double> a2 = shaped.run(in), b2 = general.run(in);
        a.insert(a.end(), a2.begin(), a2.end());
        b.insert(b.end(), b2.begin(), b2.end());
        for (std::size_t i = 0; i < a.size(); ++i)
            ASSERT_NEAR(a[i], b[i], 1e-11) << "sample " << i;
    }
}

TEST(BiquadRoutines, MorphLengthIsQuarterOfHundredthSecond) {
    const struct { double rate; int n; } rows[] = {{44100, 1103}, {48000, 1200}, {96000, 2400}, {20, 1},
                                                   {10, 1}, {0, 1}, {std::numeric_limits<double>::quiet_NaN(), 1}};
    CDCDAWContext context;
    const std::vector<double> c = rbj(CAudioFilterRBJGen::kPeaking, 5, 2.0, 1.0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.rate);
        RoutineRunner r = biquad(context, c, kCommon, row.rate);
        EXPECT_EQ(r.state<CBiquadState>().n, row.n);
    }
}

TEST(BiquadRoutines, MorphFollowsRaisedCosineFromOldToNewFilter) {
    CDCDAWContext context;
    const std::vector<double> c1 = rbj(CAudioFilterRBJGen::kPeaking, 1000, 4.0, 1.0);
    const std::vector<double> c2 = rbj(CAudioFilterRBJGen::kPeaking, 3000, 0.3, 2.0);
    const std::vector<double> in = test::testNoise(4000, 3);
    RoutineRunner r = biquad(context, c1);
    ReferenceBiquad ref(c1, 1200);
    const std::vector<double> head(in.begin(), in.begin() + 500);
    const std::vector<double> tail(in.begin() + 500, in.end());
    std::vector<double> out = r.run(head);
    r.update(c2);
    const std::vector<double> out2 = r.run(tail);
    out.insert(out.end(), out2.begin(), out2.end());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (i == 500)
            ref.update(c2);
        ASSERT_NEAR(out[i], ref.step(in[i]), 1e-9) << "sample " << i;
    }
}

// One run: update at sample 100, then a second update 300 samples into the morph.
std::vector<double> morphRun(CDCDAWContext& context, const std::vector<double>& in, const std::vector<int>& chunks,
                             std::vector<double>* qAfter = nullptr) {
    const std::vector<double> c1 = rbj(CAudioFilterRBJGen::kPeaking, 200, 2.0, 1.0);
    const std::vector<double> c2 = rbj(CAudioFilterRBJGen::kPeaking, 8000, 0.5, 0.5);
    const std::vector<double> c3 = rbj(CAudioFilterRBJGen::kPeaking, 1000, 3.0, 4.0);
    RoutineRunner r = biquad(context, c1);
    auto part = [&](std::size_t from, std::size_t to) {
        return r.run(std::vector<double>(in.begin() + from, in.begin() + to), chunks);
    };
    std::vector<double> out = part(0, 100);
    r.update(c2);
    std::vector<double> more = part(100, 400);
    out.insert(out.end(), more.begin(), more.end());
    r.update(c3);
    more = part(400, in.size());
    out.insert(out.end(), more.begin(), more.end());
    if (qAfter != nullptr)
        qAfter->assign(r.state<CBiquadState>().q, r.state<CBiquadState>().q + 5);
    return out;
}

TEST(BiquadRoutines, MorphDoesNotDependOnBlockSplit) {
    CDCDAWContext context;
    const std::vector<double> in = test::testNoise(4000, 5);
    const std::vector<double> whole = morphRun(context, in, {1 << 30});
    for (const std::vector<int>& split : {std::vector<int>{1}, {7}, {512}, {511, 1, 513}}) {
        SCOPED_TRACE(::testing::PrintToString(split));
        EXPECT_EQ(morphRun(context, in, split), whole);
    }
}

TEST(BiquadRoutines, MorphEndsExactlyAfterItsLengthAndLandsOnTarget) {
    CDCDAWContext context;
    const std::vector<double> c1 = rbj(CAudioFilterRBJGen::kLowPass, 300, 0.7, 0.7);
    const std::vector<double> c2 = rbj(CAudioFilterRBJGen::kLowPass, 900, 2.0, 2.0);
    const std::vector<double> in = test::testNoise(1200, 9);
    for (int chunk : {1, 7, 512}) {
        SCOPED_TRACE(chunk);
        RoutineRunner r = biquad(context, c1, kLowPass);
        r.update(c2);
        r.run(std::vector<double>(in.begin(), in.end() - 1), {chunk});
        EXPECT_EQ(r.state<CBiquadState>().remaining, 1);
        r.run({in.back()});
        const CBiquadState& s = r.state<CBiquadState>();
        EXPECT_EQ(s.remaining, 0);
        const double expect[5] = {c2[0], c2[1], c2[2], -c2[3], -c2[4]};
        for (int j = 0; j < 5; ++j)
            EXPECT_EQ(s.q[j], expect[j]);   // assigned, not accumulated
    }
}

TEST(BiquadRoutines, UpdateWithUnchangedCoefficientsKeepsOutput) {
    CDCDAWContext context;
    const std::vector<double> c = rbj(CAudioFilterRBJGen::kPeaking, 1200, 3.0, 2.0);
    const std::vector<double> in = test::testNoise(3000, 21);
    RoutineRunner morphed = biquad(context, c), plain = biquad(context, c);
    const std::vector<double> head(in.begin(), in.begin() + 300), tail(in.begin() + 300, in.end());
    EXPECT_EQ(morphed.run(head), plain.run(head));
    morphed.update(c);
    const std::vector<double> a = morphed.run(tail), b = plain.run(tail);
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_NEAR(a[i], b[i], 1e-12 * (1.0 + std::fabs(b[i]))) << "sample " << i;
}

TEST(BiquadRoutines, PendingCoefficientsWaitForMorphEndAndOnlyNewestApplies) {
    CDCDAWContext context;
    const std::vector<double> c1 = rbj(CAudioFilterRBJGen::kPeaking, 500, 2.0, 1.0);
    const std::vector<double> c2 = rbj(CAudioFilterRBJGen::kPeaking, 4000, 0.5, 1.0);
    const std::vector<double> skipped = rbj(CAudioFilterRBJGen::kPeaking, 9000, 8.0, 1.0);
    const std::vector<double> c3 = rbj(CAudioFilterRBJGen::kPeaking, 100, 0.2, 3.0);
    const std::vector<double> in = test::testNoise(3000, 13);
    auto slice = [&](int a, int b) { return std::vector<double>(in.begin() + a, in.begin() + b); };

    RoutineRunner chained = biquad(context, c1);
    chained.update(c2);
    std::vector<double> out = chained.run(slice(0, 200));
    chained.update(skipped);
    chained.update(c3);   // replaces the waiting coefficients
    std::vector<double> rest = chained.run(slice(200, 3000));
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(chained.state<CBiquadState>().remaining, 0);

    RoutineRunner direct = biquad(context, c1);   // the same morphs, each applied at its start
    direct.update(c2);
    std::vector<double> expect = direct.run(slice(0, 1200));
    direct.update(c3);
    rest = direct.run(slice(1200, 3000));
    expect.insert(expect.end(), rest.begin(), rest.end());
    EXPECT_EQ(out, expect);
}

TEST(BiquadRoutines, OneSampleMorphAtVeryLowRatesStaysFinite) {
    CDCDAWContext context;
    const std::vector<double> c1 = rbj(CAudioFilterRBJGen::kPeaking, 2, 2.0, 1.0);
    const std::vector<double> c2 = rbj(CAudioFilterRBJGen::kPeaking, 4, 0.5, 1.0);
    for (double rate : {10.0, 0.0}) {
        SCOPED_TRACE(rate);
        RoutineRunner r = biquad(context, c1, kCommon, rate);
        r.update(c2);
        for (double y : r.run(test::testNoise(8, 1)))
            EXPECT_TRUE(std::isfinite(y));
        EXPECT_EQ(r.state<CBiquadState>().remaining, 0);
        EXPECT_EQ(r.state<CBiquadState>().q[0], c2[0]);
    }
}

TEST(BiquadRoutines, EmptyBlockChangesNothing) {
    CDCDAWContext context;
    RoutineRunner r = biquad(context, rbj(CAudioFilterRBJGen::kPeaking, 500, 2.0, 1.0));
    r.update(rbj(CAudioFilterRBJGen::kPeaking, 600, 2.0, 1.0));
    r.run(test::testNoise(10, 2));
    CBiquadState before;
    std::memcpy(&before, r.stateBlock(), sizeof before);
    double* block = context.blockPool().allocBlock(8);
    context.runProcessRoutine(kRBJRoutineTable[kCommon], 0, block, r.stateBlock(), block);
    CAudioBlockPool::releaseBlock(block);
    EXPECT_EQ(std::memcmp(&before, r.stateBlock(), sizeof before), 0);
}

// --- paired channels ---

struct PairScenario {
    const char* name;
    bool updateLeft, updateRight;
    int rightDelay;   // samples into the block loop at which the right channel is updated
};

class BiquadPair : public ::testing::TestWithParam<PairScenario> {};

// Runs two channels through the paired routine (or two single calls) with the scenario's updates.
std::vector<double> runChannels(const PairScenario& sc, int process, int chunk, bool paired) {
    CDCDAWContext context;
    CAudioBlockPool& pool = context.blockPool();
    const std::vector<double> c1 = rbj(CAudioFilterRBJGen::kLowPass, 800, 1.3, 1.3);
    const std::vector<double> c2 = rbj(CAudioFilterRBJGen::kLowPass, 3000, 0.6, 0.6);
    const std::vector<double> inL = test::testNoise(3000, 31), inR = test::testNoise(3000, 32);
    RoutineRunner left = biquad(context, c1, process), right = biquad(context, c1, process);
    if (sc.updateLeft)
        left.update(c2);
    std::vector<double> out;
    for (int at = 0; at < 3000; at += chunk) {
        if (sc.updateRight && at <= sc.rightDelay && sc.rightDelay < at + chunk)
            right.update(c2);
        const int n = std::min(chunk, 3000 - at);
        double *iL = pool.allocBlock(8 * n), *iR = pool.allocBlock(8 * n);
        double *oL = pool.allocBlock(8 * n), *oR = pool.allocBlock(8 * n);
        std::copy(inL.begin() + at, inL.begin() + at + n, iL);
        std::copy(inR.begin() + at, inR.begin() + at + n, iR);
        const CDCDAWRoutine& routine = kRBJRoutineTable[process];
        if (paired) {
            context.runProcessRoutinePair(routine, n, oL, left.stateBlock(), iL, oR, right.stateBlock(), iR);
        } else {
            context.runProcessRoutine(routine, n, oL, left.stateBlock(), iL);
            context.runProcessRoutine(routine, n, oR, right.stateBlock(), iR);
        }
        out.insert(out.end(), oL, oL + n);
        out.insert(out.end(), oR, oR + n);
        for (double* b : {iL, iR, oL, oR})
            CAudioBlockPool::releaseBlock(b);
    }
    return out;
}

TEST_P(BiquadPair, MatchesTwoSingleCallsBitForBit) {
    for (int process : {kCommon, kLowPass}) {
        for (int chunk : {1, 7, 512}) {
            SCOPED_TRACE(::testing::Message() << "process " << process << " chunk " << chunk);
            EXPECT_EQ(runChannels(GetParam(), process, chunk, true), runChannels(GetParam(), process, chunk, false));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, BiquadPair, ::testing::Values(
    PairScenario{"steady", false, false, 0},
    PairScenario{"both_morph", true, true, 0},
    PairScenario{"left_only", true, false, 0},
    PairScenario{"right_later", true, true, 600},
    PairScenario{"right_after_left_ends", true, true, 1500}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tal
