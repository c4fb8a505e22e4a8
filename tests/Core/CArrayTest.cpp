#include "Core/CArray.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace tal;

namespace {
struct Record56 {
    char bytes[56];
};
} // namespace

TEST(CArray, InlineSlotsFitSixtyFourBytes) {
    EXPECT_EQ(CArray<void*>::kInlineSlots, 8);
    EXPECT_EQ(CArray<double>::kInlineSlots, 8);
    EXPECT_EQ(CArray<int>::kInlineSlots, 16);
    EXPECT_EQ(CArray<std::uint8_t>::kInlineSlots, 64);
    EXPECT_EQ(CArray<Record56>::kInlineSlots, 1);
}

TEST(CArray, AppendingFollowsTheGrowthSequence) {
    CArray<void*> a;
    std::vector<int> capacities;
    for (int i = 0; i < 2000; ++i) {
        const int before = a.capacity();
        a.add(reinterpret_cast<void*>(std::intptr_t(i)));
        if (a.capacity() != before)
            capacities.push_back(a.capacity());
        // The 8th element raises the capacity from 7 to 12 and moves the contents to a heap block.
        if (i == 6) {
            EXPECT_TRUE(a.isInline());
        }
        if (i == 7) {
            EXPECT_FALSE(a.isInline());
        }
    }
    EXPECT_EQ(capacities, (std::vector<int>{1, 2, 4, 7, 12, 20, 33, 54, 88, 144, 235, 382, 621, 1010, 1642, 2669}));
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(a[i], reinterpret_cast<void*>(std::intptr_t(i)));
}

TEST(CArray, PoolLimitIs510PointersThenLargeBlock) {
    CArray<void*> a;
    a.setCapacity(510);
    EXPECT_EQ(poolBlockSize(a.data()), 4080u);
    EXPECT_LT(static_cast<const unsigned char*>(static_cast<const void*>(a.data()))[-1], 255);
    a.setCapacity(511);
    EXPECT_EQ(static_cast<const unsigned char*>(static_cast<const void*>(a.data()))[-1], 255);
    EXPECT_EQ(poolBlockSize(a.data()), 511u * 8);
}

TEST(CArray, HeapStorageNeverReturnsInline) {
    CArray<int> a;
    for (int i = 0; i < 20; ++i)
        a.add(i);
    a.setCount(2);
    a.setCapacity(3);
    EXPECT_FALSE(a.isInline());
    EXPECT_EQ(a.capacity(), 3);
    EXPECT_EQ(a[1], 1);
}

TEST(CArray, InsertRemoveAndCopy) {
    CArray<int> a;
    for (int i = 0; i < 5; ++i)
        a.add(i * 10);
    a.insertAt(2, 15);
    a.removeAt(0);
    EXPECT_EQ(std::vector<int>(a.begin(), a.end()), (std::vector<int>{10, 15, 20, 30, 40}));
    EXPECT_TRUE(a.remove(30));
    EXPECT_FALSE(a.remove(99));
    CArray<int> b(a);
    b.add(a[0]);   // an element of the array itself may be added
    a.clear();
    EXPECT_EQ(std::vector<int>(b.begin(), b.end()), (std::vector<int>{10, 15, 20, 40, 10}));
    CArray<int> c(static_cast<CArray<int>&&>(b));
    EXPECT_EQ(c.count(), 5);
    EXPECT_EQ(b.count(), 0);
    for (int i = 0; i < 100; ++i)
        c.addNew() = i;
    EXPECT_EQ(c[104], 99);
}
