#include "Audio/CombineInputs.h"

#include "Audio/CAudioBlockPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace tal {
namespace {

struct CombineCase {
    int sources;
    int mode;   // the definition's "input-combo-mode"
};

class CombineInputs : public ::testing::TestWithParam<CombineCase> {};

int freeCount(const CAudioBlockPool& pool, int list) {
    int n = 0;
    for (double* b = pool.firstFree(list); b != nullptr; b = *reinterpret_cast<double**>(b))
        ++n;
    return n;
}

TEST_P(CombineInputs, ResultIsTheSumMeanOrMaximumOfTheSources) {
    const CombineCase c = GetParam();
    const int length = 100;
    CAudioBlockPool sourcePool, pool;
    std::mt19937 rng(unsigned(c.sources * 10 + c.mode));
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double*> sources;
    for (int s = 0; s < c.sources; ++s) {
        double* b = sourcePool.allocBlock(8 * length);
        for (int i = 0; i < length; ++i)
            b[i] = dist(rng);
        sources.push_back(b);
    }
    double* result = combineInputBlocks(pool, sources.data(), c.sources, length, combineModeOf(c.mode));
    ASSERT_EQ(CAudioBlockPool::useCount(result), 1);
    for (int i = 0; i < length; ++i) {
        double sum = 0.0, max = sources[0][i];
        for (double* s : sources) {
            sum += s[i];
            max = std::max(max, s[i]);
        }
        const double expect = c.mode == 0 ? sum : (c.mode == 1 ? sum / c.sources : max);
        ASSERT_NEAR(result[i], expect, 1e-13) << i;
    }
    for (double* s : sources) {
        EXPECT_EQ(CAudioBlockPool::useCount(s), 1);   // the sources keep their uses
        EXPECT_NE(s, result);
    }
    CAudioBlockPool::releaseBlock(result);
    // At most one intermediate block is alive at a time, besides the result.
    EXPECT_LE(freeCount(pool, 1), 2);
    EXPECT_GE(freeCount(pool, 1), 1);
    for (double* s : sources)
        CAudioBlockPool::releaseBlock(s);
}

INSTANTIATE_TEST_SUITE_P(Modes, CombineInputs,
                         ::testing::Values(CombineCase{2, 0}, CombineCase{3, 0}, CombineCase{4, 0}, CombineCase{5, 0},
                                           CombineCase{10, 0}, CombineCase{2, 1}, CombineCase{4, 1},
                                           CombineCase{5, 1}, CombineCase{11, 1}, CombineCase{3, 2},
                                           CombineCase{4, 2}, CombineCase{7, 2}, CombineCase{3, 7}));

} // namespace
} // namespace tal
