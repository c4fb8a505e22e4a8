#include "Audio/CAudioBlockPool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace tal {
namespace {

TEST(CAudioBlockPool, SmallRequestsRoundUpToGranules) {
    const struct { int bytes, list, capacity; } rows[] = {
        {1, 0, 512}, {8, 0, 512}, {512, 0, 512}, {513, 1, 1024}, {4096, 7, 4096}, {65536, 127, 65536}};
    CAudioBlockPool pool;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        double* b = pool.allocBlock(row.bytes);
        EXPECT_EQ(CAudioBlockPool::listIndex(b), row.list);
        EXPECT_EQ(CAudioBlockPool::capacity(b), row.capacity);
        EXPECT_EQ(CAudioBlockPool::useCount(b), 1);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 16, 0u);
        std::memset(b, 0x5a, static_cast<std::size_t>(row.capacity));   // the whole capacity is usable
        CAudioBlockPool::releaseBlock(b);
    }
}

TEST(CAudioBlockPool, LargeRequestsKeepTheirSize) {
    CAudioBlockPool pool;
    double* b = pool.allocBlock(65537);
    EXPECT_EQ(CAudioBlockPool::listIndex(b), CAudioBlockPool::kLargeList);
    EXPECT_EQ(CAudioBlockPool::capacity(b), 65537);
    CAudioBlockPool::releaseBlock(b);
}

// Blocks reserved at the longest sub-block's size serve every shorter request, so that a graph
// whose block lengths vary makes no block after the reserve; a request finding every list empty
// still makes one of its own size.
TEST(CAudioBlockPool, ReservedLongBlocksServeShorterRequestsWithoutMakingMore) {
    CAudioBlockPool pool;
    pool.reserve(4096, 6);
    pool.reserve(4000, 6);   // the same list: already enough
    EXPECT_EQ(pool.madeBlocks(), 6);
    const int requests[] = {8, 296, 3064, 513, 4096, 1};
    double* out[6] = {};
    for (int i = 0; i < 6; ++i) {
        out[i] = pool.allocBlock(requests[i]);
        EXPECT_GE(CAudioBlockPool::capacity(out[i]), requests[i]);
    }
    EXPECT_EQ(pool.madeBlocks(), 6);
    double* extra = pool.allocBlock(100);
    EXPECT_EQ(pool.madeBlocks(), 7);
    EXPECT_EQ(CAudioBlockPool::listIndex(extra), 0);
    CAudioBlockPool::releaseBlock(extra);
    for (double* b : out) {
        EXPECT_EQ(CAudioBlockPool::listIndex(b), 7);   // back to the list it was made for
        CAudioBlockPool::releaseBlock(b);
    }
    int free7 = 0;
    for (double* b = pool.firstFree(7); b != nullptr; b = *reinterpret_cast<double**>(b))
        ++free7;
    EXPECT_EQ(free7, 6);
}

TEST(CAudioBlockPool, ReleasedBlockIsHandedOutNext) {
    CAudioBlockPool pool;
    double* a = pool.allocBlock(100);
    double* b = pool.allocBlock(200);
    CAudioBlockPool::releaseBlock(a);
    CAudioBlockPool::releaseBlock(b);
    EXPECT_EQ(pool.allocBlock(300), b);   // last in, first out
    EXPECT_EQ(pool.allocBlock(8), a);
    EXPECT_EQ(pool.firstFree(0), nullptr);
    double* c = pool.allocBlock(600);      // another list: a new block
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    for (double* x : {a, b, c})
        CAudioBlockPool::releaseBlock(x);
}

TEST(CAudioBlockPool, BlockReturnsOnlyWithItsLastUse) {
    CAudioBlockPool pool;
    double* b = pool.allocBlock(64);
    CAudioBlockPool::addUse(b);
    CAudioBlockPool::addUse(b);
    EXPECT_EQ(CAudioBlockPool::useCount(b), 3);
    CAudioBlockPool::releaseBlock(b);
    CAudioBlockPool::releaseBlock(b);
    EXPECT_EQ(pool.firstFree(0), nullptr);
    CAudioBlockPool::releaseBlock(b);
    EXPECT_EQ(pool.firstFree(0), b);
    EXPECT_EQ(CAudioBlockPool::useCount(b), 1);
}

TEST(CAudioBlockPool, CachedLargeBlockIsReusedOnlyWhenBigEnough) {
    CAudioBlockPool pool;
    double* big = pool.allocBlock(100000);
    CAudioBlockPool::releaseBlock(big);
    double* again = pool.allocBlock(80000);
    EXPECT_EQ(again, big);
    EXPECT_EQ(CAudioBlockPool::capacity(again), 100000);
    CAudioBlockPool::releaseBlock(again);
    double* bigger = pool.allocBlock(120000);   // the cached block is too small and is freed
    EXPECT_EQ(CAudioBlockPool::capacity(bigger), 120000);
    EXPECT_EQ(pool.firstFree(CAudioBlockPool::kLargeList), nullptr);
    CAudioBlockPool::releaseBlock(bigger);
}

TEST(CAudioBlockPool, NonPositiveRequestGivesSmallestBlock) {
    CAudioBlockPool pool;
    double* b = pool.allocBlock(0);
    EXPECT_EQ(CAudioBlockPool::capacity(b), 512);
    CAudioBlockPool::releaseBlock(b);
}

} // namespace
} // namespace tal
