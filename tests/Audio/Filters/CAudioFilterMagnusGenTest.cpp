#include "Audio/Filters/CAudioFilterMagnusGen.h"

#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/CDCDAWFilterRoutines.h"
#include "support/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <cmath>

namespace tal {
namespace {

using test::design;
constexpr double kFs = 48000.0;

const CAudioFilterMagnusGen& makeMagnus(int type) {
    static std::deque<CAudioFilterMagnusGen> keep;   // designers are not copyable; keep them for the test run
    CAudioFilterMagnusGen& gen = keep.emplace_back();
    EXPECT_TRUE(gen.configure(type));
    return gen;
}

// Peaking types: unity at 0 Hz and the set gain at the centre, for boosts and cuts.
TEST(CAudioFilterMagnusGen, PeakTypesMatchGainAtDcAndCentre) {
    for (int type : {0, 1, 2}) {
        for (double gain : {0.25, 0.7, 1.5, 4.0}) {
            for (double freq : {50.0, 1000.0, 9000.0}) {
                SCOPED_TRACE(::testing::Message() << "type " << type << " gain " << gain << " freq " << freq);
                const CAudioFilterStageList s = design(makeMagnus(type), freq, gain, 1.0);
                ASSERT_EQ(s.count(), 1);
                EXPECT_NEAR(s[0].magnitudeAt(0, kFs), 1.0, 1e-6);
                EXPECT_NEAR(s[0].magnitudeAt(freq, kFs), gain, 1e-6 * gain);
            }
        }
    }
}

TEST(CAudioFilterMagnusGen, BandEdgeGainsOfCoresAAndB) {
    const double edge = 1000.0 * std::pow(2.0, -0.5);
    EXPECT_NEAR(design(makeMagnus(0), 1000, 2.0, 1.0)[0].magnitudeAt(edge, kFs), 1.4141, 1e-4);
    EXPECT_NEAR(design(makeMagnus(1), 1000, 2.0, 1.0)[0].magnitudeAt(edge, kFs), 1.4608, 1e-4);
}

TEST(CAudioFilterMagnusGen, UnityGainDesignsASlightCut) {
    for (int type : {0, 1, 2}) {
        SCOPED_TRACE(type);
        const CAudioFilterStageList s = design(makeMagnus(type), 2000, 1.0, 1.0);
        ASSERT_EQ(s.count(), 1);
        EXPECT_NEAR(s[0].magnitudeAt(2000, kFs), 0.999, 1e-7);
    }
}

TEST(CAudioFilterMagnusGen, BandPassTypesPeakAtCentreWithNothingAtDc) {
    for (int type : {3, 4, 5}) {
        SCOPED_TRACE(type);
        const CAudioFilterStageList s = design(makeMagnus(type), 3000, 1.0, 1.0);
        ASSERT_EQ(s.count(), 1);
        EXPECT_NEAR(s[0].magnitudeAt(3000, kFs), 1.0, 1e-6);
        EXPECT_NEAR(s[0].magnitudeAt(0, kFs), 0.0, 1e-9);
    }
    // Type 3 scales the whole band-pass by the gain.
    EXPECT_NEAR(design(makeMagnus(3), 3000, 0.5, 1.0)[0].magnitudeAt(3000, kFs), 0.5, 1e-6);
    EXPECT_NEAR(design(makeMagnus(4), 3000, 0.5, 1.0)[0].magnitudeAt(3000, kFs), 1.0, 1e-6);
}

TEST(CAudioFilterMagnusGen, CoreBMovesCentreDownNearQuarterRate) {
    const double f = 0.25 * kFs;
    const CAudioFilterStageList s = design(makeMagnus(1), f, 2.0, 1.0);
    ASSERT_EQ(s.count(), 1);
    EXPECT_NEAR(s[0].magnitudeAt(0.99 * f, kFs), 2.0, 1e-6);
    EXPECT_GT(std::fabs(s[0].magnitudeAt(f, kFs) - 2.0), 1e-4);
}

TEST(CAudioFilterMagnusGen, WideBandPassAtHalfRateClampsItsEdges) {
    const CAudioFilterStageList s = design(makeMagnus(5), kFs / 2, 1.0, 4.0);
    ASSERT_EQ(s.count(), 1);
    for (double c : s[0].numerator)
        EXPECT_TRUE(std::isfinite(c));
}

TEST(CAudioFilterMagnusGen, NonFiniteDesignsMakeNoStage) {
    EXPECT_EQ(design(makeMagnus(1), 1000, 0.0, 1.0).count(), 0);      // peak with a gain of 0
    EXPECT_EQ(design(makeMagnus(2), 1000, 0.0, 1.0).count(), 0);
    EXPECT_EQ(design(makeMagnus(0), 1000, -2.0, 1.0).count(), 0);
    EXPECT_EQ(design(makeMagnus(1), 1000, 2.0, std::nan("")).count(), 0);
}

// Whatever the values, a stage that is made has finite coefficients.
TEST(CAudioFilterMagnusGen, StagesAreAlwaysFinite) {
    for (int type = 0; type < CAudioFilterMagnusGen::kTypeCount; ++type)
        for (double gain : {0.0, 1e-12, 0.5, 1.0, 1e6})
            for (double freq : {0.0, 1.0, 12000.0, 20000.0, kFs / 2})
                for (double bw : {0.0, 0.01, 3.0, 10.0}) {
                    const CAudioFilterStageList s = design(makeMagnus(type), freq, gain, bw);
                    for (const CAudioFilterStage& stage : s)
                        for (int i = 0; i < 3; ++i)
                            ASSERT_TRUE(std::isfinite(stage.numerator[i]) && (i == 2 || std::isfinite(stage.denominator[i])))
                                << "type " << type << " gain " << gain << " freq " << freq << " bw " << bw;
                }
}

TEST(CAudioFilterMagnusGen, EveryTypeRunsTheGeneralBiquad) {
    CDCDAWContext context;
    for (int type = 0; type < CAudioFilterMagnusGen::kTypeCount; ++type) {
        SCOPED_TRACE(type);
        const CAudioFilterStageList s = design(makeMagnus(type), 1000, 2.0, 1.0, kFs, &context);
        ASSERT_EQ(s.count(), 1);
        ASSERT_NE(s[0].routines, nullptr);
        EXPECT_STREQ(s[0].routines->process->name, "DCDAW_fltbiqcommon");
    }
}

TEST(CAudioFilterMagnusGen, RejectsUnknownType) {
    CAudioFilterMagnusGen gen;
    EXPECT_FALSE(gen.configure(6));
    EXPECT_FALSE(gen.configure(-3));
}

} // namespace
} // namespace tal
