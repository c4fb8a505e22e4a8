#include "UI/CSpectrumCurve.h"

#include "Audio/Viz/CAudioVizDataBins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace tal {
namespace {

std::unique_ptr<CAudioVizDataSpectrum> curveFrame(const std::vector<double>& linear, double rate = 48000.0, int fft = 2048,
                                 int type = 2) {
    auto s = std::make_unique<CAudioVizDataSpectrum>();
    s->values.assign(linear.data(), std::int32_t(linear.size()));
    s->sampleRate = rate;
    s->fftSize = fft;
    s->averagingType = type;
    return s;
}

// A curve with one column per dB-to-pixel unit: y = -(level in dB) over 0 .. 100 px.
void setPlainGeometry(CSpectrumCurve& curve, double fLow, double fHigh, int width) {
    curve.freqLow = fLow;
    curve.freqHigh = fHigh;
    curve.width = width;
    curve.levelLow = -100.0;
    curve.levelHigh = 0.0;
    curve.top = 0.0;
    curve.bottom = 100.0;
}

TEST(CSpectrumCurve, CombinesMeanForAveragesAndMaximumForMaxTypes) {
    struct Case {
        int type;
        double expected;   // linear value of bin 1 from channels 1.0 and 0.5
    };
    for (const Case& c : {Case{2, 0.75}, Case{0, 0.75}, Case{4, 0.75}, Case{1, 1.0}, Case{3, 1.0}}) {
        SCOPED_TRACE(c.type);
        CSpectrumCurve curve;
        curve.setSlotCount(3);
        curve.setSpectrum(0, *curveFrame({0.25, 1.0, 0.5}, 48000.0, 2048, c.type));
        curve.setSpectrum(1, *curveFrame({0.25, 0.5, 0.5}, 48000.0, 2048, c.type));
        curve.setSpectrum(2, *curveFrame({9.0, 9.0, 9.0, 9.0}, 48000.0, 2048, c.type));   // other bin count
        curve.combineChannels();
        ASSERT_EQ(curve.binCount(), 3);
        EXPECT_EQ(curve.sampleRate(), 48000.0);
        EXPECT_DOUBLE_EQ(curve.linearValues()[1], c.expected);
        EXPECT_DOUBLE_EQ(curve.linearValues()[0], 0.25);
        EXPECT_NEAR(curve.combined()->values[1], 20.0 * std::log10(c.expected), 1e-9);
    }
}

TEST(CSpectrumCurve, IdenticalChannelsCombineToTheSingleChannelCurve) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> level(1e-5, 1.0);
    std::vector<double> bins(1025);
    for (double& b : bins)
        b = level(random);
    for (int type : {1, 2}) {
        SCOPED_TRACE(type);
        CSpectrumCurve one, two;
        for (CSpectrumCurve* c : {&one, &two}) {
            setPlainGeometry(*c, 20.0, 20000.0, 400);
            c->smoothingIndex = 4;
        }
        one.setSlotCount(1);
        one.setSpectrum(0, *curveFrame(bins, 48000.0, 2048, type));
        two.setSlotCount(2);
        two.setSpectrum(0, *curveFrame(bins, 48000.0, 2048, type));
        two.setSpectrum(1, *curveFrame(bins, 48000.0, 2048, type));
        one.buildPoints();
        two.buildPoints();
        ASSERT_EQ(one.points().size(), 400u);
        ASSERT_EQ(two.points().size(), one.points().size());
        for (std::size_t i = 0; i < one.points().size(); ++i)
            EXPECT_NEAR(two.points()[i].y, one.points()[i].y, 1e-9) << i;
    }
}

TEST(CSpectrumCurve, AbsentOrSkippedSlotsGiveAnEmptyCurve) {
    CSpectrumCurve curve;
    setPlainGeometry(curve, 20.0, 20000.0, 100);
    curve.setSlotCount(2);
    curve.buildPoints();
    EXPECT_TRUE(curve.points().empty());
    curve.setSpectrum(1, *curveFrame(std::vector<double>(513, 1.0)));
    curve.setPresent(1, false);
    curve.buildPoints();
    EXPECT_TRUE(curve.points().empty());
    curve.setPresent(1, true);
    curve.buildPoints();
    EXPECT_EQ(curve.points().size(), 100u);
}

TEST(CSpectrumCurve, ImpossibleGeometryGivesNoPoints) {
    struct Case {
        const char* name;
        double fLow, fHigh;
        int width, bins;
    };
    const Case cases[] = {
        {"low above half the rate", 24001.0, 30000.0, 100, 1025},
        {"low not positive", 0.0, 20000.0, 100, 1025},
        {"high not above low", 1000.0, 1000.0, 100, 1025},
        {"one column", 20.0, 20000.0, 1, 1025},
        {"one bin", 20.0, 20000.0, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSpectrumCurve curve;
        setPlainGeometry(curve, c.fLow, c.fHigh, c.width);
        curve.setPointCount(5);
        curve.setSlotCount(1);
        curve.setSpectrum(0, *curveFrame(std::vector<double>(std::size_t(c.bins), 1.0)));
        curve.buildPoints();
        EXPECT_TRUE(curve.points().empty());
    }
}

TEST(CSpectrumCurve, TiltIsZeroAtOneKilohertzAndFollowsTheFftSize) {
    // Two columns at 1 and 2 kHz of a flat 0 dB spectrum; y is minus the level.
    struct Case {
        double slope;
        int fft;
        bool isAlign;
        double at1k, at2k;
    };
    const double fftCorrection = 10.0 * std::log10(4.0);   // 8192 against 2048: about 6.02 dB
    const Case cases[] = {
        {4.5, 2048, false, 0.0, 4.5},
        {-3.0, 2048, false, 0.0, -3.0},
        {0.0, 8192, false, fftCorrection, fftCorrection},
        {4.5, 8192, true, 3.01, 7.51},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slope);
        SCOPED_TRACE(c.fft);
        CSpectrumCurve curve;
        setPlainGeometry(curve, 1000.0, 2000.0, 2);
        curve.slope = c.slope;
        curve.isAlign0db = c.isAlign;
        curve.setSlotCount(1);
        curve.setSpectrum(0, *curveFrame(std::vector<double>(std::size_t(c.fft / 2 + 1), 1.0), 48000.0, c.fft));
        curve.buildPoints();
        ASSERT_EQ(curve.points().size(), 2u);
        EXPECT_NEAR(-curve.points()[0].y, c.at1k, 1e-9);
        EXPECT_NEAR(-curve.points()[1].y, c.at2k, 1e-9);
        EXPECT_EQ(curve.points()[1].x, 1.0);
    }
}

TEST(CSpectrumCurve, CurveEndsAtHalfTheSampleRate) {
    for (int smoothing : {0, 4}) {
        SCOPED_TRACE(smoothing);
        CSpectrumCurve curve;
        setPlainGeometry(curve, 20.0, 40000.0, 1000);
        curve.smoothingIndex = smoothing;
        curve.setSlotCount(1);
        curve.setSpectrum(0, *curveFrame(std::vector<double>(1025, 1.0), 48000.0));
        curve.buildPoints();
        const std::size_t count = curve.points().size();
        ASSERT_GT(count, 500u);
        ASSERT_LT(count, 1000u);
        const double ratio = std::pow(40000.0 / 20.0, 1.0 / 999.0);
        EXPECT_LT(20.0 * std::pow(ratio, double(count - 1)), 24000.0 * (1.0 + 1e-12));
        EXPECT_GE(20.0 * std::pow(ratio, double(count)), 24000.0 * (1.0 - 1e-12));
    }
}

TEST(CSpectrumCurve, DenseColumnsKeepTheHighestBin) {
    // 32769 bins over 20 .. 20000 Hz in 200 columns: every column spans many bins, so a single
    // raised bin must show at its full level in the column around it.
    std::vector<double> bins(32769, 1e-4);   // -80 dB
    const int spike = 10000;                 // 7324 Hz
    bins[spike] = 0.5;
    CSpectrumCurve curve;
    setPlainGeometry(curve, 20.0, 20000.0, 200);
    curve.setSlotCount(1);
    curve.setSpectrum(0, *curveFrame(bins, 48000.0, 65536));
    curve.slope = 0.0;
    curve.isAlign0db = true;   // a fixed 3.01 dB
    curve.buildPoints();
    ASSERT_EQ(curve.points().size(), 200u);
    const double spikeDb = 20.0 * std::log10(0.5) + 3.01;
    int columns = 0;
    for (const CSpectrumCurve::CPoint& p : curve.points()) {
        if (std::fabs(-p.y - spikeDb) < 1e-9)
            ++columns;
        else
            EXPECT_NEAR(-p.y, -80.0 + 3.01, 1e-9) << p.x;
    }
    EXPECT_EQ(columns, 1);
}

TEST(CSpectrumCurve, InterpolationPassesThroughSamplesAndFollowsTheCubic) {
    const double v[] = {-60.0, -50.0, -48.0, -20.0, -19.5, -3.0, 0.0};
    const int n = 7;
    for (int k = 0; k < n; ++k)
        EXPECT_DOUBLE_EQ(CSpectrumCurve::interpolate(v, n, k), v[k]) << k;
    // A step 0, 0, 1, 1 between its middle samples: both tangents are 0.25, so the cubic is
    // 0.25 u + 2.25 u^2 - 1.5 u^3 (worked by hand).
    const double step[] = {0.0, 0.0, 1.0, 1.0};
    struct Case {
        double x, expected;
    };
    for (const Case& c : {Case{1.0, 0.0}, Case{1.25, 0.1796875}, Case{1.5, 0.5}, Case{1.75, 0.8203125}}) {
        SCOPED_TRACE(c.x);
        EXPECT_NEAR(CSpectrumCurve::interpolate(step, 4, c.x), c.expected, 1e-12);
    }
    // Near the end the last sample repeats; a constant stays constant.
    const double flat[] = {-7.0, -7.0, -7.0};
    for (double x = 0.0; x <= 2.0; x += 0.1)
        EXPECT_DOUBLE_EQ(CSpectrumCurve::interpolate(flat, 3, x), -7.0) << x;
}

TEST(CSpectrumCurve, SmoothingKeepsAFlatSpectrumFlat) {
    // Every smoothing width, on a long and on a very short spectrum (the window then reaches past
    // the last bins and takes values extrapolated from fewer than eight bins).
    for (int bins : {1025, 5}) {
        for (int index = 1; index < CSpectrumCurve::kSmoothingCount; ++index) {
            SCOPED_TRACE(bins);
            SCOPED_TRACE(index);
            CSpectrumCurve curve;
            setPlainGeometry(curve, bins > 8 ? 20.0 : 4000.0, bins > 8 ? 20000.0 : 15000.0, 300);
            curve.smoothingIndex = index;
            curve.setSlotCount(1);
            curve.setSpectrum(0, *curveFrame(std::vector<double>(std::size_t(bins), 0.1)));
            curve.buildPoints();
            ASSERT_FALSE(curve.points().empty());
            for (const CSpectrumCurve::CPoint& p : curve.points())
                ASSERT_NEAR(-p.y, -20.0, 1e-6) << p.x;
        }
    }
}

// The Hann-weighted mean of the linear bins around bin position g, straight from its definition.
double referenceSmoothed(const std::vector<double>& v, double g, double octaves, double factor) {
    const double m = g * std::pow(2.0, -1.5 * octaves);
    const double L = g + factor * (g - m);
    const double t = L - m;
    double sum = 0.0, weights = 0.0;
    for (int k = int(std::ceil(m)); k <= int(std::floor(L)); ++k) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (k - m) / t);
        sum += w * v[std::size_t(k)];
        weights += w;
    }
    return 20.0 * std::log10(sum / weights);
}

TEST(CSpectrumCurve, SmoothingIsTheHannMeanOverTheOctaveWindow) {
    // One column per smoothing grid point (W = K), so that every point is one grid value.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> level(1e-4, 1.0);
    std::vector<double> bins(8193);
    for (double& b : bins)
        b = level(random);
    struct Case {
        int index;
        double octaves, factor;
    };
    for (const Case& c : {Case{8, 1.0, 1.13}, Case{4, 1.0 / 3.0, 1.01}, Case{11, 2.5, 1.27}}) {
        SCOPED_TRACE(c.index);
        const double fLow = 100.0, fHigh = 12800.0;   // 7 octaves
        const int K = int(std::ceil(16.0 * 7.0 / std::sqrt(c.octaves) + 1.0));
        CSpectrumCurve curve;
        setPlainGeometry(curve, fLow, fHigh, K);
        curve.smoothingIndex = c.index;
        curve.setSlotCount(1);
        curve.setSpectrum(0, *curveFrame(bins, 48000.0, 16384));
        curve.isAlign0db = true;
        curve.buildPoints();
        ASSERT_EQ(curve.points().size(), std::size_t(K));
        const double perOctave = (K - 1) / 7.0;
        int compared = 0;
        for (int j = 0; j < K; ++j) {
            const double g = fLow * std::pow(2.0, j / perOctave) * 2.0 * 8193.0 / 48000.0;
            const double m = g * std::pow(2.0, -1.5 * c.octaves);
            const double L = g + c.factor * (g - m);
            if (L - m < 10.0 || L >= 8192.0)
                continue;
            EXPECT_NEAR(-curve.points()[std::size_t(j)].y - 3.01, referenceSmoothed(bins, g, c.octaves, c.factor),
                        1e-6)
                << j;
            ++compared;
        }
        EXPECT_GT(compared, K / 3);
    }
}

TEST(CSpectrumCurve, OffsetModesPlaceTheCurve) {
    std::vector<double> bins(1025);
    for (std::size_t i = 0; i < bins.size(); ++i)
        bins[i] = 0.01 + 0.5 * std::fabs(std::sin(double(i) * 0.01));
    struct Case {
        int mode;
        double gainShift;
    };
    for (const Case& c : {Case{0, 0.0}, Case{0, 6.0}, Case{1, 0.0}, Case{1, -10.0}, Case{2, 0.0}}) {
        SCOPED_TRACE(c.mode);
        SCOPED_TRACE(c.gainShift);
        CSpectrumCurve plain, shifted;
        for (CSpectrumCurve* curve : {&plain, &shifted}) {
            setPlainGeometry(*curve, 20.0, 20000.0, 300);
            curve->top = 10.0;
            curve->bottom = 210.0;   // 2 px per dB
            curve->setSlotCount(1);
            curve->setSpectrum(0, *curveFrame(bins));
        }
        shifted.offsetMode = c.mode;
        shifted.gainShift = c.gainShift;
        plain.buildPoints();
        shifted.buildPoints();
        ASSERT_EQ(shifted.points().size(), plain.points().size());
        const auto& p = shifted.points();
        double highest = p[0].y, sum = 0.0;
        for (const CSpectrumCurve::CPoint& q : p) {
            highest = std::min(highest, q.y);
            sum += q.y;
        }
        // The curve moves as a whole.
        const double move = p[0].y - plain.points()[0].y;
        for (std::size_t i = 0; i < p.size(); ++i)
            EXPECT_NEAR(p[i].y - plain.points()[i].y, move, 1e-9);
        if (c.mode == 1)
            EXPECT_NEAR(highest, 10.0 - 2.0 * c.gainShift, 1e-9);
        else if (c.mode == 2)
            EXPECT_NEAR(sum / double(p.size()), 110.0, 1e-9);
        else
            EXPECT_NEAR(move, -2.0 * c.gainShift, 1e-9);
    }
}

TEST(CSpectrumCurve, EqualLevelLimitsCountAsARangeOfOne) {
    CSpectrumCurve curve;
    setPlainGeometry(curve, 1000.0, 2000.0, 2);
    curve.levelLow = curve.levelHigh = -20.0;
    curve.bottom = 50.0;
    curve.top = 0.0;
    curve.setSlotCount(1);
    curve.setSpectrum(0, *curveFrame(std::vector<double>(1025, 1.0)));
    curve.buildPoints();
    ASSERT_EQ(curve.points().size(), 2u);
    // 0 dB is 20 dB above the bottom level: 20 x 50 px above the bottom.
    EXPECT_NEAR(curve.points()[0].y, 50.0 - 20.0 * 50.0, 1e-9);
}

} // namespace
} // namespace tal
