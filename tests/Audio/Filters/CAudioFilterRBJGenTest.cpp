#include "Audio/Filters/CAudioFilterRBJGen.h"

#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/CDCDAWFilterRoutines.h"
#include "support/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

namespace tal {
namespace {

using test::design;
constexpr double kFs = 48000.0;

const CAudioFilterRBJGen& makeRBJ(int type, CAudioFilterRBJGen::Options options = {}) {
    static std::deque<CAudioFilterRBJGen> keep;   // designers are not copyable; keep them for the test run
    CAudioFilterRBJGen& gen = keep.emplace_back();
    EXPECT_TRUE(gen.configure(type, options));
    return gen;
}

struct ResponseCase {
    const char* name;
    int type;
    CAudioFilterRBJGen::Options options;
    double freq, gain, bw;
    double probeHz, expect;
};

class RBJResponse : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(RBJResponse, MagnitudeMatchesClosedForm) {
    const ResponseCase& c = GetParam();
    const CAudioFilterRBJGen& gen = makeRBJ(c.type, c.options);
    const CAudioFilterStageList stages = design(gen, c.freq, c.gain, c.bw);
    ASSERT_EQ(stages.count(), 1);
    EXPECT_NEAR(stages[0].magnitudeAt(c.probeHz, kFs), c.expect, 1e-9 * std::max(1.0, c.expect));
}

constexpr CAudioFilterRBJGen::Options kGainQ{false, false, false, true};
constexpr CAudioFilterRBJGen::Options kIsQ{true, false, false, false};
constexpr CAudioFilterRBJGen::Options kOctaves{};
constexpr CAudioFilterRBJGen::Options kType2{false, true, false, false};

// Closed forms of the bilinear designs: low/high-pass reach Q at the corner; band-pass 1 (type 2)
// or Q (type 3) at the centre; notch 0 at the centre; peaking g at the centre; shelves g on their
// shelf, sqrt g at the corner; type 10 sn/alpha at f.
INSTANTIATE_TEST_SUITE_P(Design, RBJResponse, ::testing::Values(
    ResponseCase{"lp_q1_corner", 0, kGainQ, 1000, 1.0, 1, 1000, 1.0},
    ResponseCase{"lp_q05_corner", 0, kGainQ, 1000, 0.5, 1, 1000, 0.5},
    ResponseCase{"lp_dc", 0, kGainQ, 3000, 2.0, 1, 0, 1.0},
    ResponseCase{"lp_nyquist", 0, kGainQ, 3000, 2.0, 1, 24000, 0.0},
    ResponseCase{"hp_corner", 1, kGainQ, 200, 0.7, 1, 200, 0.7},
    ResponseCase{"hp_nyquist", 1, kGainQ, 200, 0.7, 1, 24000, 1.0},
    ResponseCase{"hp_dc", 1, kIsQ, 200, 1.0, 0.7, 0, 0.0},
    ResponseCase{"bp0db_centre", 2, kOctaves, 2500, 1.0, 1.5, 2500, 1.0},
    ResponseCase{"bp0db_dc", 2, kOctaves, 2500, 1.0, 1.5, 0, 0.0},
    ResponseCase{"bpq_centre", 3, kIsQ, 2500, 1.0, 3.0, 2500, 3.0},
    ResponseCase{"notch_centre", 4, kType2, 5000, 1.0, 0.5, 5000, 0.0},
    ResponseCase{"notch_dc", 4, kType2, 5000, 1.0, 0.5, 0, 1.0},
    ResponseCase{"notch_nyquist", 4, kType2, 5000, 1.0, 0.5, 24000, 1.0},
    ResponseCase{"allpass_low", 5, kOctaves, 800, 1.0, 1.0, 100, 1.0},
    ResponseCase{"allpass_high", 5, kOctaves, 800, 1.0, 1.0, 9000, 1.0},
    ResponseCase{"peak_boost", 6, kOctaves, 1000, 4.0, 1.0, 1000, 4.0},
    ResponseCase{"peak_cut", 6, kOctaves, 1000, 0.25, 2.0, 1000, 0.25},
    ResponseCase{"peak_dc", 6, kOctaves, 1000, 4.0, 1.0, 0, 1.0},
    ResponseCase{"lowshelf_dc", 7, kType2, 300, 4.0, 1.0, 0, 4.0},
    ResponseCase{"lowshelf_corner", 7, kType2, 300, 4.0, 1.0, 300, 2.0},
    ResponseCase{"lowshelf_nyquist", 7, kType2, 300, 4.0, 1.0, 24000, 1.0},
    ResponseCase{"highshelf_nyquist", 8, kType2, 6000, 0.5, 1.0, 24000, 0.5},
    ResponseCase{"highshelf_corner", 8, kType2, 6000, 0.5, 1.0, 6000, std::sqrt(0.5)},
    ResponseCase{"highshelf_dc", 8, kType2, 6000, 0.5, 1.0, 0, 1.0},
    ResponseCase{"type10_dc", 10, kIsQ, 4000, 1.0, 2.0, 0, 1.0},
    ResponseCase{"type10_nyquist", 10, kIsQ, 4000, 1.0, 2.0, 24000, 1.0},
    ResponseCase{"type10_centre", 10, kIsQ, 4000, 1.0, 2.0, 4000, 2.0 * 2.0}),   // sn/alpha = 2Q
    [](const auto& info) { return std::string(info.param.name); });

// The -3 dB edges of the 0 dB band-pass lie bw octaves apart; the warping factor w/sin w makes
// that hold at high centre frequencies too, which the plain octave formula (type 2) misses.
double measuredOctaves(const CAudioFilterStage& s, double f0) {
    auto edge = [&](double lo, double hi) {   // bisection for |H| = 1/sqrt 2 on a monotone side
        const bool rising = s.magnitudeAt(lo, kFs) < s.magnitudeAt(hi, kFs);
        for (int i = 0; i < 200; ++i) {
            const double mid = 0.5 * (lo + hi);
            if ((s.magnitudeAt(mid, kFs) < std::sqrt(0.5)) == rising)
                lo = mid;
            else
                hi = mid;
        }
        return 0.5 * (lo + hi);
    };
    return std::log2(edge(f0, kFs / 2) / edge(1e-3, f0));
}

TEST(CAudioFilterRBJGen, OctaveBandwidthIsExactOnlyWithWarpingCorrection) {
    const CAudioFilterStageList warped = design(makeRBJ(2, kOctaves), 8000, 1.0, 1.0);
    const CAudioFilterStageList plain = design(makeRBJ(2, kType2), 8000, 1.0, 1.0);
    ASSERT_EQ(warped.count(), 1);
    ASSERT_EQ(plain.count(), 1);
    EXPECT_NEAR(measuredOctaves(warped[0], 8000), 1.0, 0.02);
    EXPECT_GT(std::fabs(measuredOctaves(plain[0], 8000) - 1.0), 0.05);
}

TEST(CAudioFilterRBJGen, PeakingAtUnityGainIsFlat) {
    const CAudioFilterStageList s = design(makeRBJ(6), 1000, 1.0, 1.0);
    ASSERT_EQ(s.count(), 1);
    EXPECT_EQ(s[0].numerator[1], s[0].denominator[0]);
    EXPECT_NEAR(s[0].numerator[0], 1.0, 1e-15);
    EXPECT_NEAR(s[0].numerator[2], s[0].denominator[1], 1e-15);
}

TEST(CAudioFilterRBJGen, AllPassRadiusPlacesPolesAtQ) {
    const CAudioFilterRBJGen& gen = makeRBJ(9, kIsQ);
    for (double q : {0.5, 0.9, 1.2}) {
        SCOPED_TRACE(q);
        const CAudioFilterStageList s = design(gen, 3000, 1.0, q);
        ASSERT_EQ(s.count(), 1);
        EXPECT_NEAR(s[0].numerator[2], 1.0, 1e-12);
        EXPECT_NEAR(s[0].denominator[1], q * q, 1e-12);   // pole radius q: stable only below 1
    }
}

TEST(CAudioFilterRBJGen, InvertedFlagNegatesOnlyLowAndHighPass) {
    const CAudioFilterRBJGen::Options inverted{false, false, true, true};
    for (int type : {0, 1, 2, 6}) {
        SCOPED_TRACE(type);
        CAudioFilterRBJGen::Options plainOptions = inverted;
        plainOptions.isInverted = false;
        const CAudioFilterStageList a = design(makeRBJ(type, inverted), 1500, 0.8, 1.0);
        const CAudioFilterStageList b = design(makeRBJ(type, plainOptions), 1500, 0.8, 1.0);
        ASSERT_EQ(a.count(), 1);
        ASSERT_EQ(b.count(), 1);
        const double sign = type <= 1 ? -1.0 : 1.0;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(a[0].numerator[i], sign * b[0].numerator[i]);
        EXPECT_EQ(a[0].denominator[0], b[0].denominator[0]);
    }
}

TEST(CAudioFilterRBJGen, FrequencyUpToHalfTheSampleRateMakesAStage) {
    const CAudioFilterRBJGen& gen = makeRBJ(4, kType2);
    EXPECT_EQ(design(gen, kFs / 2, 1.0, 1.0).count(), 1);
    EXPECT_EQ(design(gen, std::nextafter(kFs / 2, kFs), 1.0, 1.0).count(), 0);
}

TEST(CAudioFilterRBJGen, MissingValuesMakeNoStage) {
    const CAudioFilterRBJGen& gen = makeRBJ(6);
    const double v[3] = {1000, 2.0, 1.0};
    for (const char* missing : {"freq", "gain", "bw"}) {
        SCOPED_TRACE(missing);
        CAudioFilterValueMap map;
        for (const char* name : {"freq", "gain", "bw"})
            if (std::string(name) != missing)
                map.add(name, name[0] == 'f' ? 0 : name[0] == 'g' ? 1 : 2);
        CAudioFilterStageList stages;
        gen.designStage(stages, CAudioFilterValues{&map, 3, v, nullptr}, nullptr, kFs);
        EXPECT_EQ(stages.count(), 0);
    }
    CAudioFilterValueMap outside;   // positions outside the values count as missing
    outside.add("freq", 0);
    outside.add("gain", 1);
    outside.add("bw", 3);
    CAudioFilterStageList stages;
    gen.designStage(stages, CAudioFilterValues{&outside, 3, v, nullptr}, nullptr, kFs);
    EXPECT_EQ(stages.count(), 0);
}

struct DegenerateCase {
    const char* name;
    int type;
    CAudioFilterRBJGen::Options options;
    double freq, gain, bw;
};

class RBJDegenerate : public ::testing::TestWithParam<DegenerateCase> {};

// Designs whose coefficients would not be finite yield no stage, so no NaN reaches the audio.
TEST_P(RBJDegenerate, NonFiniteDesignMakesNoStage) {
    const DegenerateCase& c = GetParam();
    EXPECT_EQ(design(makeRBJ(c.type, c.options), c.freq, c.gain, c.bw).count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Design, RBJDegenerate, ::testing::Values(
    DegenerateCase{"peak_gain_zero", 6, kOctaves, 1000, 0.0, 1.0},
    DegenerateCase{"peak_gain_negative", 6, kOctaves, 1000, -1.0, 1.0},
    DegenerateCase{"shelf_gain_negative", 7, kType2, 1000, -2.0, 1.0},
    DegenerateCase{"lp_q_zero", 0, kGainQ, 1000, 0.0, 1.0},
    DegenerateCase{"bp_q_zero", 3, kIsQ, 1000, 1.0, 0.0},
    DegenerateCase{"octaves_freq_zero", 6, kOctaves, 0.0, 2.0, 1.0},
    DegenerateCase{"freq_nan", 4, kType2, std::numeric_limits<double>::quiet_NaN(), 1.0, 1.0},
    DegenerateCase{"bw_infinite", 6, kOctaves, 1000, 2.0, std::numeric_limits<double>::infinity()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CAudioFilterRBJGen, ProcessRoutineFollowsNumeratorShape) {
    const struct { int type; const char* routine; } rows[] = {
        {0, "DCDAW_fltbiqlp"}, {1, "DCDAW_fltbiqhp"}, {2, "DCDAW_fltbiqbp"}, {3, "DCDAW_fltbiqbp"},
        {4, "DCDAW_fltbiqnotch"}, {5, "DCDAW_fltbiqcommon"}, {6, "DCDAW_fltbiqcommon"}, {7, "DCDAW_fltbiqcommon"},
        {8, "DCDAW_fltbiqcommon"}, {9, "DCDAW_fltbiqcommon"}, {10, "DCDAW_fltbiqcommon"}};
    CDCDAWContext context;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        const CAudioFilterStageList s = design(makeRBJ(row.type, kIsQ), 1000, 1.5, 0.8, kFs, &context);
        ASSERT_EQ(s.count(), 1);
        ASSERT_NE(s[0].routines, nullptr);
        EXPECT_STREQ(s[0].routines->process->name, row.routine);
        EXPECT_STREQ(s[0].routines->init->name, "DCDAW_fltbiqi");
        EXPECT_STREQ(s[0].routines->update->name, "DCDAW_fltbiqu");
    }
}

TEST(CAudioFilterRBJGen, RejectsUnknownType) {
    CAudioFilterRBJGen gen;
    EXPECT_FALSE(gen.configure(11, {}));
    EXPECT_FALSE(gen.configure(-1, {}));
    EXPECT_TRUE(gen.configure(10, {}));
}

} // namespace
} // namespace tal
