#include "Audio/CDSPModDelay.h"

#include "Audio/CAudioBlockPool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace tal {
namespace {

std::vector<double> noise(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> v(std::size_t(n), 0.0);
    for (double& x : v)
        x = dist(rng);
    return v;
}

// The signal delayed by d samples, with fill before its start.
double delayed(const std::vector<double>& x, int t, int d, double fill = 0.0) {
    return t - d < 0 ? fill : x[std::size_t(t - d)];
}

// A line as the latency alignment makes it: 1024-sample segments, crossfade and minimum capacity
// of 15 ms.
struct Line {
    explicit Line(CAudioBlockPool& pool, double rate = 48000.0, bool prime = false)
        : line(&pool, 1024, int(std::round(0.015 * rate)), int(std::round(0.015 * rate)), prime) {}
    // Runs x through the line in blocks of the given sizes (cycled), in place.
    std::vector<double> run(const std::vector<double>& x, const std::vector<int>& blocks, int from = 0) {
        std::vector<double> out(x.begin() + from, x.end());
        std::size_t pos = 0;
        for (std::size_t b = 0; pos < out.size(); ++b) {
            const int n = std::min<int>(blocks[b % blocks.size()], int(out.size() - pos));
            line.process(out.data() + pos, out.data() + pos, n);
            pos += std::size_t(n);
        }
        return out;
    }
    CDSPModDelay line;
};

TEST(CDSPModDelay, ZeroDelayPassesTheInputThrough) {
    CAudioBlockPool pool;
    Line l(pool);
    const std::vector<double> x = noise(5000, 1);
    EXPECT_EQ(l.run(x, {37, 512, 1}), x);
}

TEST(CDSPModDelay, FreshLineOutputsFillValuesUntilTheDelayIsFilled) {
    for (bool prime : {false, true}) {
        SCOPED_TRACE(prime);
        CAudioBlockPool pool;
        Line l(pool, 48000.0, prime);
        l.line.setDelay(300);
        EXPECT_FALSE(l.line.isCrossfading());   // a line that has not run takes its delay at once
        const std::vector<double> x = noise(3000, 2);
        const std::vector<double> y = l.run(x, {128});
        const double fill = prime ? x[0] : 0.0;
        for (int t = 0; t < 3000; ++t)
            ASSERT_EQ(y[std::size_t(t)], delayed(x, t, 300, fill)) << t;
    }
}

TEST(CDSPModDelay, OutputDoesNotDependOnBlockSplit) {
    CAudioBlockPool pool;
    const std::vector<double> x = noise(6000, 3);
    Line whole(pool);
    whole.line.setDelay(1500);
    const std::vector<double> ref = whole.run(x, {6000});
    for (const std::vector<int>& split : {std::vector<int>{1}, {17, 512}, {255, 1, 257}, {1024}}) {
        SCOPED_TRACE(::testing::PrintToString(split));
        Line l(pool);
        l.line.setDelay(1500);
        EXPECT_EQ(l.run(x, split), ref);
    }
}

// An impulse train through a running line whose delay moves from 100 to 200 samples at 48 kHz: the
// output crossfades from the old to the new tap over 720 samples along 0.5 +- 0.5 cos(pi k / 720).
TEST(CDSPModDelay, DelayChangeCrossfadesAlongARaisedCosine) {
    CAudioBlockPool pool;
    Line l(pool);
    l.line.setDelay(100);
    const int start = 1000, n = 720;
    std::vector<double> x = noise(start + 2000, 4);
    for (int t = start; t < int(x.size()); ++t)
        x[std::size_t(t)] = (t % 7 == 0) ? 1.0 : 0.0;   // impulses: every sample's source is visible
    std::vector<double> head(x.begin(), x.begin() + start);
    l.run(head, {64});
    l.line.setDelay(200);
    ASSERT_TRUE(l.line.isCrossfading());
    EXPECT_EQ(l.line.crossfadeLength(), n);
    const std::vector<double> y = l.run(x, {100, 3, 256}, start);
    for (int k = 0; k < 2000; ++k) {
        const int t = start + k;
        const double w = k < n ? 0.5 + 0.5 * std::cos(std::numbers::pi * k / n) : 0.0;
        const double expect = w * delayed(x, t, 100) + (1.0 - w) * delayed(x, t, 200);
        ASSERT_NEAR(y[std::size_t(k)], expect, 1e-9) << k;
    }
    EXPECT_EQ(y[0], delayed(x, start, 100));
    EXPECT_FALSE(l.line.isCrossfading());
}

TEST(CDSPModDelay, ChangesDuringACrossfadeWaitAndOnlyTheLastIsTaken) {
    CAudioBlockPool pool;
    Line l(pool, 1000.0);   // crossfades of 15 samples
    const std::vector<double> x = noise(400, 5);
    l.line.setDelay(10);
    l.run(std::vector<double>(x.begin(), x.begin() + 100), {100});
    l.line.setDelay(20);
    l.line.setDelay(30);
    l.line.setDelay(40);
    EXPECT_EQ(l.line.delay(), 20);
    EXPECT_EQ(l.line.pendingDelay(), 40);
    const std::vector<double> y = l.run(x, {7}, 100);
    // 15 samples fade 10 -> 20, the next 15 fade 20 -> 40, then the line delays by 40.
    for (int k = 30; k < 300; ++k)
        ASSERT_EQ(y[std::size_t(k)], delayed(x, 100 + k, 40)) << k;
    const double w = 0.5 + 0.5 * std::cos(std::numbers::pi * 5 / 15);
    EXPECT_NEAR(y[20], w * delayed(x, 120, 20) + (1 - w) * delayed(x, 120, 40), 1e-12);
}

TEST(CDSPModDelay, RingHoldsTheDelayPlusOneStep) {
    CAudioBlockPool pool;
    Line l(pool, 44100.0);   // minimum capacity 662
    l.line.fitToTaps();
    EXPECT_EQ(l.line.segmentCount(), 1);
    l.line.setDelay(800);
    EXPECT_EQ(l.line.segmentCount(), 2);
    l.line.setDelay(1024 * 3 - 256);
    EXPECT_EQ(l.line.segmentCount(), 3);
    l.line.setDelay(1024 * 3 - 255);
    EXPECT_EQ(l.line.segmentCount(), 4);
}

TEST(CDSPModDelay, ResizeKeepsTheHistoryThatFits) {
    CAudioBlockPool pool;
    CDSPModDelay line(&pool, 1024, 16, 16, false);
    const std::vector<double> x = noise(3000, 6);
    std::vector<double> y(x);
    line.process(y.data(), y.data(), 900);   // one segment, delay 0
    ASSERT_EQ(line.segmentCount(), 1);
    line.resize(3000);                      // grows to 4 segments
    EXPECT_EQ(line.segmentCount(), 4);
    line.setDelay(2000);                    // fits the ring to 3 segments; fades over 16 samples
    EXPECT_EQ(line.segmentCount(), 3);
    line.process(y.data() + 900, y.data() + 900, 2100);
    // From 2000 on the line reads the samples written before both resizes.
    for (int t = 916; t < 3000; ++t)
        ASSERT_EQ(y[std::size_t(t)], delayed(x, t, 2000)) << t;
}

TEST(CDSPModDelay, ClearForgetsTheSignalAndEndsACrossfade) {
    CAudioBlockPool pool;
    Line l(pool, 1000.0);
    const std::vector<double> x = noise(200, 7);
    l.line.setDelay(50);
    l.run(x, {64});
    l.line.setDelay(60);
    l.line.setDelay(70);
    l.line.clear();
    EXPECT_FALSE(l.line.isCrossfading());
    EXPECT_EQ(l.line.delay(), 70);   // the waiting delay is taken
    EXPECT_TRUE(l.line.needsPriming());
    const std::vector<double> y = l.run(x, {32});
    for (int t = 0; t < 200; ++t)
        ASSERT_EQ(y[std::size_t(t)], delayed(x, t, 70)) << t;
}

// At very low rates the crossfade would be 0 samples long; it is one sample instead, and stays finite.
TEST(CDSPModDelay, CrossfadeAtVeryLowRateIsOneSampleAndFinite) {
    CAudioBlockPool pool;
    Line l(pool, 10.0);
    EXPECT_EQ(l.line.crossfadeLength(), 1);
    const std::vector<double> x = noise(100, 8);
    l.run(std::vector<double>(x.begin(), x.begin() + 10), {10});
    l.line.setDelay(5);
    const std::vector<double> y = l.run(x, {4}, 10);
    EXPECT_EQ(y[0], x[10]);   // the one crossfade sample is the old tap
    for (int k = 1; k < 90; ++k)
        ASSERT_EQ(y[std::size_t(k)], x[std::size_t(10 + k - 5)]) << k;
}

// The feedback comb as a plain recursion: the ring receives y[t] = x[t] + g(t) mix of y at the
// feedback delays, the output reads y at the output delay. Before the change at `change` the
// feedback tap is (d0, g0); from then on it crossfades over n samples to (d1, g1).
std::vector<double> combReference(const std::vector<double>& x, int outDelay, int d0, double g0, int d1, double g1,
                                  int change, int n) {
    std::vector<double> y(x.size(), 0.0), out(x.size(), 0.0);
    const auto at = [&](int t) { return t < 0 ? 0.0 : y[std::size_t(t)]; };
    for (int t = 0; t < int(x.size()); ++t) {
        double fed = 0.0;
        if (t < change) {
            fed = g0 * at(t - d0);
        } else if (t - change < n) {
            const double h = 0.5 * std::cos(std::numbers::pi * (t - change) / n);
            fed = (h + 0.5) * g0 * at(t - d0) + (0.5 - h) * g1 * at(t - d1);
        } else {
            fed = g1 * at(t - d1);
        }
        y[std::size_t(t)] = x[std::size_t(t)] + fed;
        out[std::size_t(t)] = at(t - outDelay);
    }
    return out;
}

TEST(CDSPModDelay, FeedbackTapFeedsTheDelayedRingBack) {
    CAudioBlockPool pool;
    const std::vector<double> x = noise(6000, 9);
    for (const std::vector<int>& split : {std::vector<int>{6000}, {1}, {37, 256, 512}}) {
        SCOPED_TRACE(::testing::PrintToString(split));
        Line l(pool);
        l.line.enableFeedback(true);
        l.line.setFeedback(100, 0.5);
        l.line.setDelay(37);
        EXPECT_FALSE(l.line.isFeedbackCrossfading());
        const std::vector<double> y = l.run(x, split);
        const std::vector<double> ref = combReference(x, 37, 100, 0.5, 100, 0.5, 0, 1);
        for (std::size_t t = 0; t < y.size(); ++t)
            ASSERT_NEAR(y[t], ref[t], 1e-12) << t;
    }
    // An impulse rings down by the gain at every pass.
    Line l(pool);
    l.line.enableFeedback(true);
    l.line.setFeedback(3000, 0.25);   // longer than a segment and than the output ring
    EXPECT_GE(l.line.segmentCount(), 4);
    std::vector<double> impulse(10000, 0.0);
    impulse[0] = 1.0;
    const std::vector<double> y = l.run(impulse, {480});
    EXPECT_EQ(y[0], 1.0);
    EXPECT_EQ(y[3000], 0.25);
    EXPECT_EQ(y[6000], 0.0625);
    EXPECT_EQ(y[2999] + y[3001] + y[5999] + y[6001], 0.0);
}

// Retuning the feedback tap of a running line crossfades its fed-back term along the raised
// cosine; a second change during the crossfade waits for it.
TEST(CDSPModDelay, FeedbackChangeCrossfadesAndWaits) {
    CAudioBlockPool pool;
    Line l(pool);
    l.line.enableFeedback(true);
    l.line.setFeedback(100, 0.5);
    const int start = 1000, n = l.line.crossfadeLength();
    const std::vector<double> x = noise(start + 3000, 10);
    std::vector<double> head(x.begin(), x.begin() + start);
    const std::vector<double> y0 = l.run(head, {64});
    l.line.setFeedback(150, 0.25);
    ASSERT_TRUE(l.line.isFeedbackCrossfading());
    l.line.setFeedback(400, 0.125);  // waits
    const std::vector<double> y1 = l.run(std::vector<double>(x.begin() + start, x.begin() + start + n), {100, 3, 256});
    EXPECT_TRUE(l.line.isFeedbackCrossfading());  // the waiting change started at once
    EXPECT_EQ(l.line.feedbackDelay(), 400);
    EXPECT_EQ(l.line.feedbackGain(), 0.125);
    const std::vector<double> ref = combReference(x, 0, 100, 0.5, 150, 0.25, start, n);
    for (int t = 0; t < start + n; ++t) {
        const double got = t < start ? y0[std::size_t(t)] : y1[std::size_t(t - start)];
        ASSERT_NEAR(got, ref[std::size_t(t)], 1e-12) << t;
    }
    l.line.clear();  // ends the crossfade at once
    EXPECT_FALSE(l.line.isFeedbackCrossfading());
    EXPECT_EQ(l.line.feedbackDelay(), 400);
}

TEST(CDSPModDelay, FeedbackOffLeavesThePlainLineAndTakesSettingsAtOnce) {
    CAudioBlockPool pool;
    Line l(pool);
    l.line.setDelay(50);
    const std::vector<double> x = noise(3000, 11);
    l.run(std::vector<double>(x.begin(), x.begin() + 100), {100});
    l.line.setFeedback(0, -1.0);  // off: no crossfade; clamped to delay 1, gain 0
    EXPECT_FALSE(l.line.isFeedbackCrossfading());
    EXPECT_EQ(l.line.feedbackDelay(), 1);
    EXPECT_EQ(l.line.feedbackGain(), 0.0);
    l.line.setFeedback(200, 0.9);
    const int segments = l.line.segmentCount();
    const std::vector<double> y = l.run(x, {128}, 100);
    for (int t = 100; t < 3000; ++t)
        ASSERT_EQ(y[std::size_t(t - 100)], delayed(x, t, 50)) << t;
    EXPECT_EQ(l.line.segmentCount(), segments);

    double a[3] = {1, 2, 3}, b[3] = {4, 5, 6}, out[3];
    CDSPModDelay::mulAdd(a, b, out, 3, 0.5);
    EXPECT_EQ(out[2], 6.0);
    CDSPModDelay::addInto(a, b, 3);
    EXPECT_EQ(b[0], 5.0);
    EXPECT_EQ(b[2], 9.0);
}

} // namespace
} // namespace tal
