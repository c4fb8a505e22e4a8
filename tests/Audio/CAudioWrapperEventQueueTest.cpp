#include "Audio/CAudioWrapperEventQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace tal;

CAudioWrapperEvent eventAt(int offset, int index, double value) {
    CAudioWrapperEvent e;
    e.offset = offset;
    e.type = CAudioWrapperEvent::kParameter;
    e.index = index;
    e.value = value;
    return e;
}

TEST(CAudioWrapperEventQueue, SortsByOffsetKeepingArrivalOrderAtEqualOffsets) {
    CAudioWrapperEventQueue q;
    // Many events at a few offsets, as 35 automated parameters give; within one offset the
    // arrival order (value) must survive the sort.
    std::vector<CAudioWrapperEvent> arrivals;
    for (int i = 0; i < 600; ++i)
        arrivals.push_back(eventAt((i * 7919) % 5 * 100, i % 35, i));
    for (const CAudioWrapperEvent& e : arrivals)
        ASSERT_TRUE(q.append(e));
    q.sort();
    ASSERT_EQ(q.count(), 600);
    for (int i = 1; i < q.count(); ++i) {
        ASSERT_LE(q[i - 1].offset, q[i].offset) << i;
        if (q[i - 1].offset == q[i].offset) {
            ASSERT_LT(q[i - 1].value, q[i].value) << "arrival order lost at " << i;
        }
    }
}

TEST(CAudioWrapperEventQueue, ExtremeOffsetsSortWithoutOverflow) {
    CAudioWrapperEventQueue q;
    ASSERT_TRUE(q.append(eventAt(2147483647, 0, 0)));
    ASSERT_TRUE(q.append(eventAt(-2147483647 - 1, 0, 1)));
    ASSERT_TRUE(q.append(eventAt(0, 0, 2)));
    q.sort();
    EXPECT_EQ(q[0].offset, -2147483647 - 1);
    EXPECT_EQ(q[1].offset, 0);
    EXPECT_EQ(q[2].offset, 2147483647);
}

TEST(CAudioWrapperEventQueue, FullQueueDropsAndCounts) {
    CAudioWrapperEventQueue q;
    for (int i = 0; i < CAudioWrapperEventQueue::kCapacity; ++i)
        ASSERT_TRUE(q.append(eventAt(0, 0, i)));
    EXPECT_FALSE(q.append(eventAt(0, 0, -1)));
    EXPECT_EQ(q.count(), CAudioWrapperEventQueue::kCapacity);
    EXPECT_EQ(q.droppedCount(), 1);
    q.clear();
    EXPECT_EQ(q.count(), 0);
    EXPECT_TRUE(q.append(eventAt(0, 0, 1)));
}

} // namespace
