#include "Audio/Viz/CSpectrumValueReserve.h"

#include "Audio/Viz/CAudioVizDataBins.h"

#include <gtest/gtest.h>

#include <vector>

namespace tal {
namespace {

TEST(CSpectrumValueReserve, HoldsTheBinCountsOfAnalysesTooLongForAPoolBlock) {
    const struct { std::int32_t bins, order; } cases[] = {
        {510, -1}, {257, -1}, {513, 10}, {514, -1}, {1025, 11}, {2049, 12}, {32769, 16}, {65537, -1}, {0, -1}, {-1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bins);
        EXPECT_EQ(CSpectrumValueReserve::orderOfBins(c.bins), c.order);
    }
}

TEST(CSpectrumValueReserve, ReservedBlocksAreTakenGivenBackAndTrimmed) {
    constexpr std::int32_t kOrder = 13;   // no other test analyses 8192-point blocks
    const std::int32_t existing = CSpectrumValueReserve::existingCount(kOrder);
    const std::int64_t allocated = CSpectrumValueReserve::allocatedTotal(kOrder);
    const std::int32_t free = CSpectrumValueReserve::freeCount(kOrder);
    CSpectrumValueReserve::reserve(kOrder, 3);
    EXPECT_EQ(CSpectrumValueReserve::freeCount(kOrder), free + 3);
    std::vector<double*> taken;
    while (double* block = CSpectrumValueReserve::take(kOrder))
        taken.push_back(block);
    EXPECT_EQ(taken.size(), std::size_t(free + 3));
    // The whole block can be written: 4097 values.
    for (double* block : taken)
        block[4096] = 1.0;
    // Taking the reservation back while blocks are out frees none of them; they are trimmed once
    // they are back and the target changes again.
    CSpectrumValueReserve::unreserve(kOrder, 3);
    EXPECT_EQ(CSpectrumValueReserve::existingCount(kOrder), existing + 3);
    for (double* block : taken)
        CSpectrumValueReserve::give(kOrder, block);
    CSpectrumValueReserve::reserve(kOrder, 1);
    EXPECT_EQ(CSpectrumValueReserve::existingCount(kOrder), existing + 1);
    CSpectrumValueReserve::unreserve(kOrder, 1);
    EXPECT_EQ(CSpectrumValueReserve::existingCount(kOrder), existing);
    EXPECT_EQ(CSpectrumValueReserve::allocatedTotal(kOrder), allocated + 3);
}

TEST(CSpectrumValueReserve, FrameReturnsItsBlockWhenDeletedOrReloaded) {
    constexpr std::int32_t kOrder = 10;
    CSpectrumValueReserve::reserve(kOrder, 1);
    const std::int32_t free = CSpectrumValueReserve::freeCount(kOrder);
    auto* frame = new CAudioVizDataSpectrum;
    EXPECT_FALSE(frame->useReservedValues(510));   // fits a pool block: not the reserve's business
    ASSERT_TRUE(frame->useReservedValues(513));
    EXPECT_TRUE(frame->hasReservedValues());
    EXPECT_EQ(frame->binCount(), 513);
    EXPECT_EQ(CSpectrumValueReserve::freeCount(kOrder), free - 1);
    CAudioVizDataSpectrum* copy = frame->cloneSpectrum();   // a clone owns ordinary storage
    EXPECT_FALSE(copy->hasReservedValues());
    delete copy;
    EXPECT_EQ(CSpectrumValueReserve::freeCount(kOrder), free - 1);
    delete frame;
    EXPECT_EQ(CSpectrumValueReserve::freeCount(kOrder), free);
    CSpectrumValueReserve::unreserve(kOrder, 1);
}

} // namespace
} // namespace tal
