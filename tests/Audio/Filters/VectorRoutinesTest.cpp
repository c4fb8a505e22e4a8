#include "Audio/Filters/VectorRoutines.h"

#include "Audio/Filters/CDCDAWContext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

namespace tal {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct VectorCase {
    const char* name;
    void (*routine)(CDCDAWCall&) noexcept;
    double k;
    std::vector<double> out;   // the output block before the call
    std::vector<std::vector<double>> inputs;
    std::vector<double> expect;
};

// Test names and failure messages show the routine's name, not the case's bytes.
void PrintTo(const VectorCase& c, std::ostream* os) { *os << c.name; }

class VectorRoutine : public ::testing::TestWithParam<VectorCase> {};

const std::vector<double> A{1.0, -2.0, 3.5, -0.25}, B{4.0, 0.5, -1.0, 2.0}, C{-3.0, 6.0, 0.0, 1.5}, D{2.0, -7.0, 5.0, 0.5};
const std::vector<double> O{10.0, -1.0, 0.5, 2.0};

void runCase(const VectorCase& c, bool inPlaceFirstInput, std::vector<double>& result) {
    CDCDAWContext context;
    CAudioBlockPool& pool = context.blockPool();
    const int n = static_cast<int>(c.expect.size());
    double* blocks[5] = {};
    blocks[0] = pool.allocBlock(8 * n);
    std::copy(c.out.begin(), c.out.end(), blocks[0]);
    for (std::size_t j = 0; j < c.inputs.size(); ++j) {
        blocks[j + 1] = pool.allocBlock(8 * static_cast<int>(c.inputs[j].size()));
        std::copy(c.inputs[j].begin(), c.inputs[j].end(), blocks[j + 1]);
    }
    if (inPlaceFirstInput) {   // the output block is also the first input
        std::copy(c.inputs[0].begin(), c.inputs[0].end(), blocks[0]);
        CAudioBlockPool::releaseBlock(blocks[1]);
        blocks[1] = blocks[0];
    }
    const CDCDAWRoutine entry{c.routine, 5, 3, c.name, nullptr};
    context.runRoutine(entry, n, c.k, blocks, 5);
    result.assign(blocks[0], blocks[0] + n);
    CAudioBlockPool::releaseBlock(blocks[0]);
    for (std::size_t j = 0; j < c.inputs.size(); ++j)
        if (!(inPlaceFirstInput && j == 0))
            CAudioBlockPool::releaseBlock(blocks[j + 1]);
}

void expectSame(const std::vector<double>& got, const std::vector<double>& expect) {
    ASSERT_EQ(got.size(), expect.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (std::isnan(expect[i]))
            EXPECT_TRUE(std::isnan(got[i])) << "element " << i;
        else
            EXPECT_EQ(got[i], expect[i]) << "element " << i;
    }
}

TEST_P(VectorRoutine, ComputesEveryElement) {
    std::vector<double> got;
    runCase(GetParam(), false, got);
    expectSame(got, GetParam().expect);
}

const std::vector<double> Z(4, 0.0);

const VectorCase kCases[] = {
    VectorCase{"vcopy", DCDAW_vcopy, 0, Z, {A}, {1.0, -2.0, 3.5, -0.25}},
    VectorCase{"vaddk", DCDAW_vaddk, 0.5, Z, {A}, {1.5, -1.5, 4.0, 0.25}},
    VectorCase{"vaddfirst", DCDAW_vaddfirst, 0, O, {A}, {11.0, 0.0, 1.5, 3.0}},
    VectorCase{"vadd2", DCDAW_vadd2, 0, Z, {A, B}, {5.0, -1.5, 2.5, 1.75}},
    VectorCase{"vacc", DCDAW_vacc, 0, O, {A}, {11.0, -3.0, 4.0, 1.75}},
    VectorCase{"vadd3", DCDAW_vadd3, 0, Z, {A, B, C}, {2.0, 4.5, 2.5, 3.25}},
    VectorCase{"vadd4", DCDAW_vadd4, 0, Z, {A, B, C, D}, {4.0, -2.5, 7.5, 3.75}},
    VectorCase{"vmuladdk", DCDAW_vmuladdk, 2.0, Z, {A, B}, {6.0, -3.5, 6.0, 1.5}},
    VectorCase{"vaccmulk", DCDAW_vaccmulk, 2.0, O, {A}, {12.0, -5.0, 7.5, 1.5}},
    VectorCase{"vsub", DCDAW_vsub, 0, Z, {A, B}, {-3.0, -2.5, 4.5, -2.25}},
    VectorCase{"vmax2", DCDAW_vmax2, 0, Z, {A, B}, {4.0, 0.5, 3.5, 2.0}},
    VectorCase{"vmaxacc", DCDAW_vmaxacc, 0, O, {A}, {10.0, -1.0, 3.5, 2.0}},
    VectorCase{"vmax3", DCDAW_vmax3, 0, Z, {A, B, C}, {4.0, 6.0, 3.5, 2.0}},
    VectorCase{"vmax4", DCDAW_vmax4, 0, Z, {A, B, C, D}, {4.0, 6.0, 5.0, 2.0}},
    VectorCase{"vmin2", DCDAW_vmin2, 0, Z, {A, B}, {1.0, -2.0, -1.0, -0.25}},
    VectorCase{"vmin3", DCDAW_vmin3, 0, Z, {A, B, C}, {-3.0, -2.0, -1.0, -0.25}},
    VectorCase{"vmin4", DCDAW_vmin4, 0, Z, {A, B, C, D}, {-3.0, -7.0, -1.0, -0.25}},
    VectorCase{"vxfadek", DCDAW_vxfadek, 0.25, Z, {A, B}, {3.25, -0.125, 0.125, 1.4375}},
    VectorCase{"vmix2", DCDAW_vmix2, 0, Z, {A, B, {2.0, -1.0}}, {-2.0, -4.5, 8.0, -2.5}},
    VectorCase{"vxfade", DCDAW_vxfade, 0, Z, {A, B, {0.0, 1.0, 0.5, 2.0}}, {4.0, -2.0, 1.25, -2.5}},
    VectorCase{"vxfadescale", DCDAW_vxfadescale, 2.0, Z, {A, B, {0.0, 1.0, 0.5, 2.0}}, {8.0, -4.0, 2.5, -5.0}},
    VectorCase{"vadd2scale", DCDAW_vadd2scale, 2.0, Z, {A, B}, {10.0, -3.0, 5.0, 3.5}},
    VectorCase{"vadd3scale", DCDAW_vadd3scale, 0.5, Z, {A, B, C}, {1.0, 2.25, 1.25, 1.625}},
    VectorCase{"vscale", DCDAW_vscale, -2.0, Z, {A}, {-2.0, 4.0, -7.0, 0.5}},
    VectorCase{"vscaleacc", DCDAW_vscaleacc, 3.0, O, {}, {30.0, -3.0, 1.5, 6.0}},
    VectorCase{"vmul", DCDAW_vmul, 0, Z, {A, B}, {4.0, -1.0, -3.5, -0.5}},
    VectorCase{"vmulacc", DCDAW_vmulacc, 0, O, {A}, {10.0, 2.0, 1.75, -0.5}},
    VectorCase{"vmac", DCDAW_vmac, 0, O, {A, B}, {14.0, -2.0, -3.0, 1.5}},
    VectorCase{"vdiv", DCDAW_vdiv, 0, Z, {A, B}, {0.25, -4.0, -3.5, -0.125}},
    VectorCase{"vabs", DCDAW_vabs, 0, Z, {{-1.0, 2.0, -0.0, -kNaN}}, {1.0, 2.0, 0.0, kNaN}},
    VectorCase{"vsqrt", DCDAW_vsqrt, 0, Z, {{4.0, 0.25, 0.0, 9.0}}, {2.0, 0.5, 0.0, 3.0}},
    VectorCase{"vzero", DCDAW_vzero, 0, O, {}, {0.0, 0.0, 0.0, 0.0}},
    VectorCase{"vfillk", DCDAW_vfillk, 1.5, O, {}, {1.5, 1.5, 1.5, 1.5}},
    VectorCase{"vfillfirst", DCDAW_vfillfirst, 0, O, {{-6.0}}, {-6.0, -6.0, -6.0, -6.0}},
    VectorCase{"vclip", DCDAW_vclip, 2.0, Z, {{3.0, -2.5, 1.0, kNaN}}, {2.0, -2.0, 1.0, 2.0}}};

INSTANTIATE_TEST_SUITE_P(All, VectorRoutine, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// When the output is also the first input, routines that do not read the output give the same result.
TEST(VectorRoutines, InPlaceGivesSameResult) {
    int checked = 0;
    for (const VectorCase& c : kCases) {
        if (c.inputs.empty() || c.out == O || c.inputs[0].size() < c.expect.size())
            continue;
        SCOPED_TRACE(c.name);
        std::vector<double> got;
        runCase(c, true, got);
        expectSame(got, c.expect);
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

TEST(VectorRoutines, SignBitClearedByAbs) {
    CDCDAWContext context;
    double* a = context.blockPool().allocBlock(8);
    a[0] = -0.0;
    double* blocks[2] = {a, a};
    const CDCDAWRoutine entry{DCDAW_vabs, 2, 3, "DCDAW_vabs", nullptr};
    context.runRoutine(entry, 1, 0.0, blocks, 2);
    EXPECT_FALSE(std::signbit(a[0]));
    CAudioBlockPool::releaseBlock(a);
}

TEST(VectorRoutines, NonPositiveCountDoesNothing) {
    CDCDAWContext context;
    double* o = context.blockPool().allocBlock(8);
    o[0] = 7.0;
    double* blocks[1] = {o};
    const CDCDAWRoutine entry{DCDAW_vfillk, 1, 3, "DCDAW_vfillk", nullptr};
    context.runRoutine(entry, 0, 1.0, blocks, 1);
    context.runRoutine(entry, -5, 1.0, blocks, 1);
    EXPECT_EQ(o[0], 7.0);
    CAudioBlockPool::releaseBlock(o);
}

} // namespace
} // namespace tal
