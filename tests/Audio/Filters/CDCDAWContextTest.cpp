#include "Audio/Filters/CDCDAWContext.h"

#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CDCDAWContextWorkspace.h"
#include "Audio/Filters/CDCDAWFilterWorkspace.h"
#include "support/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <deque>
namespace tal {
namespace {

const CAudioFilterRBJGen& lowPass() {
    static std::deque<CAudioFilterRBJGen> keep;   // designers are not copyable; keep them for the test run
    CAudioFilterRBJGen& gen = keep.emplace_back();
    EXPECT_TRUE(gen.configure(CAudioFilterRBJGen::kLowPass, {true, false, false, false}));
    return gen;
}

TEST(CDCDAWContext, DesignsShareRoutineSetsPerContext) {
    const CAudioFilterRBJGen& gen = lowPass();
    CDCDAWContext one, two;
    const CAudioFilterStageList a = test::design(gen, 1000, 1, 1, 48000, &one);
    const CAudioFilterStageList b = test::design(gen, 2000, 1, 1, 48000, &one);
    const CAudioFilterStageList c = test::design(gen, 1000, 1, 1, 48000, &two);
    const CAudioFilterStageList none = test::design(gen, 1000, 1, 1, 48000, nullptr);
    ASSERT_NE(a[0].routines, nullptr);
    EXPECT_EQ(a[0].routines, b[0].routines);
    EXPECT_NE(a[0].routines, c[0].routines);
    EXPECT_EQ(none[0].routines, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(none[0].numerator[i], a[0].numerator[i]);
    EXPECT_EQ(CDCDAWFilterWorkspace::of(one), one.findWorkspace(CDCDAWFilterWorkspace::kWorkspaceKey));
}

TEST(CDCDAWContext, CallsGiveBackTheirBlockUses) {
    CDCDAWContext context;
    const CAudioFilterStageList s = test::design(lowPass(), 1000, 1, 1, 48000, &context);
    const CDCDAWFilterRoutines& set = *s[0].routines;
    double* state = context.blockPool().allocBlock(set.stateBytes);
    double* coefficients = context.blockPool().allocBlock(40);
    s[0].copyCoefficients(coefficients);
    context.runSetupRoutine(*set.init, 5, state, coefficients, 48000);
    double* io = context.blockPool().allocBlock(64 * 8);
    for (int i = 0; i < 64; ++i)
        io[i] = 1.0;
    context.runProcessRoutine(*set.process, 64, io, state, io);   // in place
    EXPECT_EQ(CAudioBlockPool::useCount(state), 1);
    EXPECT_EQ(CAudioBlockPool::useCount(io), 1);
    EXPECT_EQ(CAudioBlockPool::useCount(coefficients), 1);
    EXPECT_GT(io[63], 0.0);
    for (double* b : {state, coefficients, io})
        CAudioBlockPool::releaseBlock(b);
}

struct CountingWorkspace : CDCDAWContextWorkspace {
    explicit CountingWorkspace(int& deaths) : mDeaths(deaths) {}
    ~CountingWorkspace() override { ++mDeaths; }
    int& mDeaths;
};

TEST(CDCDAWContext, OwnsItsWorkspaces) {
    int deaths = 0;
    {
        CDCDAWContext context;
        auto* first = new CountingWorkspace(deaths);
        ASSERT_TRUE(context.setWorkspace(7, first));
        ASSERT_TRUE(context.setWorkspace(7, new CountingWorkspace(deaths)));   // replaces and destroys
        EXPECT_EQ(deaths, 1);
        EXPECT_NE(context.findWorkspace(7), nullptr);
        EXPECT_EQ(context.findWorkspace(8), nullptr);
    }
    EXPECT_EQ(deaths, 2);
}

} // namespace
} // namespace tal
