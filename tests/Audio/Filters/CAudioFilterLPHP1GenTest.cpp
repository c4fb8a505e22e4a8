#include "Audio/Filters/CAudioFilterLPHP1Gen.h"

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

const CAudioFilterLPHP1Gen& makeLPHP1(int type) {
    static std::deque<CAudioFilterLPHP1Gen> keep;   // designers are not copyable; keep them for the test run
    CAudioFilterLPHP1Gen& gen = keep.emplace_back();
    EXPECT_TRUE(gen.configure(type));
    return gen;
}

TEST(CAudioFilterLPHP1Gen, LowPassIsUnityAtDcAndHalfPowerAtCorner) {
    for (double f : {20.0, 1000.0, 15000.0, kFs / 2}) {
        SCOPED_TRACE(f);
        const CAudioFilterStageList s = design(makeLPHP1(0), f, 0.0, 0.0);
        ASSERT_EQ(s.count(), 1);
        EXPECT_FALSE(s[0].isSecondOrder());
        EXPECT_NEAR(s[0].magnitudeAt(0, kFs), 1.0, 1e-12);
        EXPECT_NEAR(s[0].magnitudeAt(f, kFs), std::sqrt(0.5), 1e-9);
    }
}

TEST(CAudioFilterLPHP1Gen, HighPassValuesAtOneKilohertz) {
    const CAudioFilterStageList hp = design(makeLPHP1(1), 1000, 0.0, 0.0);
    const CAudioFilterStageList hpg = design(makeLPHP1(2), 1000, 0.0, 0.0);
    ASSERT_EQ(hp.count(), 1);
    ASSERT_EQ(hpg.count(), 1);
    EXPECT_NEAR(hp[0].magnitudeAt(1000, kFs), 0.662, 5e-4);
    EXPECT_NEAR(hpg[0].magnitudeAt(1000, kFs), 0.7079457843841379, 1e-12);
    EXPECT_NEAR(hp[0].magnitudeAt(0, kFs), 0.0, 1e-15);
    // The corner-gain variant is the plain high-pass scaled by gc (1.0688 here) at every frequency.
    const double gc = hpg[0].magnitudeAt(1000, kFs) / hp[0].magnitudeAt(1000, kFs);
    EXPECT_NEAR(gc, 1.0688, 1e-4);
    for (double f : {30.0, 400.0, 8000.0, 24000.0})
        EXPECT_NEAR(hpg[0].magnitudeAt(f, kFs), gc * hp[0].magnitudeAt(f, kFs), 1e-12);
}

TEST(CAudioFilterLPHP1Gen, CornerAtHalfRateStillMakesAStage) {
    const CAudioFilterStageList s = design(makeLPHP1(0), kFs / 2, 0.0, 0.0);
    ASSERT_EQ(s.count(), 1);
    EXPECT_NEAR(s[0].numerator[0], -2.0 + std::sqrt(8.0), 1e-15);
    EXPECT_EQ(design(makeLPHP1(0), kFs / 2 + 1, 0.0, 0.0).count(), 0);
}

TEST(CAudioFilterLPHP1Gen, RoutineSetsFollowType) {
    const char* names[] = {"DCDAW_fltlp1", "DCDAW_flthp1", "DCDAW_flthp1g"};
    CDCDAWContext context;
    for (int type = 0; type < 3; ++type) {
        SCOPED_TRACE(type);
        const CAudioFilterStageList s = design(makeLPHP1(type), 500, 1, 1, kFs, &context);
        ASSERT_EQ(s.count(), 1);
        ASSERT_NE(s[0].routines, nullptr);
        EXPECT_STREQ(s[0].routines->process->name, names[type]);
        EXPECT_STREQ(s[0].routines->init->name, "DCDAW_fltlphp1i");
    }
}

TEST(CAudioFilterLPHP1Gen, RejectsUnknownType) {
    CAudioFilterLPHP1Gen gen;
    EXPECT_FALSE(gen.configure(3));
}

} // namespace
} // namespace tal
