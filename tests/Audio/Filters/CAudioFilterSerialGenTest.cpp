#include "Audio/Filters/CAudioFilterSerialGen.h"

#include "Audio/Filters/CAudioFilterBypassGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Core/CString.h"
#include "support/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

using test::design;
constexpr double kFs = 48000.0;

void expectSameStage(const CAudioFilterStage& a, const CAudioFilterStage& b) {
    ASSERT_EQ(a.numeratorCount, b.numeratorCount);
    ASSERT_EQ(a.denominatorCount, b.denominatorCount);
    for (int i = 0; i < a.numeratorCount; ++i)
        EXPECT_EQ(a.numerator[i], b.numerator[i]);
    for (int i = 0; i < a.denominatorCount; ++i)
        EXPECT_EQ(a.denominator[i], b.denominator[i]);
}

struct LinkwitzRiley {
    CAudioFilterRBJGen lp2;
    CAudioFilterSerialGen lp8;
    LinkwitzRiley() {
        EXPECT_TRUE(lp2.configure(CAudioFilterRBJGen::kLowPass, {false, false, false, true}));
        for (int i = 0; i < 4; ++i)
            lp8.addItem({&lp2, {}, {1.0, 0.25, 1.0}});
    }
};

TEST(CAudioFilterSerialGen, ItemsDesignWithAdjustedValues) {
    LinkwitzRiley lr;
    const CAudioFilterStageList s = design(lr.lp8, 1000, 16.0, 1.0);
    ASSERT_EQ(s.count(), 4);
    const CAudioFilterStageList one = design(lr.lp2, 1000, 2.0, 1.0);   // 16^0.25 = 2 as each Q
    ASSERT_EQ(one.count(), 1);
    for (const CAudioFilterStage& stage : s)
        expectSameStage(stage, one[0]);
    // The cascade's resonance at the corner is Q^4.
    EXPECT_NEAR(s.magnitudeAt(1000, kFs), 16.0, 1e-8);
}

TEST(CAudioFilterSerialGen, FactorsScaleTheirPosition) {
    CAudioFilterMagnusGen peak;
    ASSERT_TRUE(peak.configure(1));
    CAudioFilterSerialGen fixed;
    fixed.addItem({&peak, {1.0, 1.0, 0.924825}, {}});
    const CAudioFilterStageList s = design(fixed, 1000, 2.0, 1.5);
    const CAudioFilterStageList direct = design(peak, 1000, 2.0, 1.5 * 0.924825);
    ASSERT_EQ(s.count(), 1);
    ASSERT_EQ(direct.count(), 1);
    expectSameStage(s[0], direct[0]);
}

TEST(CAudioFilterSerialGen, ItemsWithoutStageAddNothing) {
    LinkwitzRiley lr;
    EXPECT_EQ(design(lr.lp8, kFs, 1.0, 1.0).count(), 0);
    CAudioFilterBypassGen bypass;
    CAudioFilterSerialGen mixed;
    mixed.addItem({&bypass, {}, {}});
    mixed.addItem({&lr.lp2, {}, {}});
    EXPECT_EQ(design(mixed, 1000, 1.0, 1.0).count(), 1);
}

TEST(CAudioFilterSerialGen, AppendsAfterExistingStages) {
    LinkwitzRiley lr;
    CAudioFilterStageList stages;
    const double v[3] = {500, 1.0, 1.0};
    const CAudioFilterValues values{&CAudioFilterValueMap::standard(), 3, v, nullptr};
    lr.lp2.designStage(stages, values, nullptr, kFs);
    lr.lp8.designStage(stages, values, nullptr, kFs);
    EXPECT_EQ(stages.count(), 5);
}

TEST(CAudioFilterSerialGen, ParsesAdjustLists) {
    const struct { const char* text; std::vector<double> expect; } rows[] = {
        {"1.0,1.0,0.924825", {1.0, 1.0, 0.924825}},
        {"2,,3", {2.0, 3.0}},                 // empty pieces are dropped
        {"", {}},
        {"0.5,x,-2e1", {0.5, 1.0, -20.0}},    // a malformed piece counts as 1.0
        {",4,", {4.0}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(CAudioFilterSerialGen::parseAdjustList(CString(row.text)), row.expect);
    }
}

TEST(CAudioFilterGenArray, LooksUpByIndex) {
    CAudioFilterBypassGen a, b, c;
    CAudioFilterGenArray array;
    array.setGen(0, &a);
    array.setGen(3, &b);
    array.setGen(3, &c);    // a later item of the same index replaces the earlier one
    array.setGen(-1, &a);   // ignored
    EXPECT_EQ(array.getGen(0), &a);
    EXPECT_EQ(array.getGen(1), nullptr);
    EXPECT_EQ(array.getGen(3), &c);
    EXPECT_EQ(array.getGen(4), nullptr);
    EXPECT_EQ(array.getGen(-1), nullptr);
    EXPECT_EQ(array.size(), 4);
}

TEST(CAudioFilterBypassGen, DesignsNothing) {
    CAudioFilterBypassGen bypass;
    EXPECT_EQ(design(bypass, 1000, 2.0, 1.0).count(), 0);
}

} // namespace
} // namespace tal
