#include "Core/CStringList.h"

#include <gtest/gtest.h>

#include <string>

using namespace tal;

TEST(CStringList, AddGrowsByTheArrayRuleAndKeepsItemAddresses) {
    CStringList list;
    std::vector<int> capacities;
    std::vector<CString*> items;
    for (int i = 0; i < 13; ++i) {
        items.push_back(list.add(CString(i)));
        capacities.push_back(list.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{1, 2, 4, 4, 7, 7, 7, 12, 12, 12, 12, 12, 20}));
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(list.item(i), items[std::size_t(i)]);
        EXPECT_EQ(list[i], CString(i));
    }
}

TEST(CStringList, ResizeAddsEmptyOrDeletesFromTheEnd) {
    CStringList list;
    list.add("a");
    list.add("b");
    list.add("c");
    list.resize(1);
    ASSERT_EQ(list.count(), 1);
    EXPECT_TRUE(list[0].equals("a"));
    list.resize(5);
    ASSERT_EQ(list.count(), 5);
    for (int i = 1; i < 5; ++i)
        EXPECT_TRUE(list[i].isEmpty());
}

TEST(CStringList, RemoveCopyAndAssign) {
    CStringList list;
    for (const char* s : {"a", "b", "c", "d"})
        list.add(s);
    list.remove(1);
    ASSERT_EQ(list.count(), 3);
    EXPECT_TRUE(list[1].equals("c"));

    const CStringList copy(list);
    EXPECT_EQ(copy.capacity(), 3);
    list[0] = CString("changed");
    EXPECT_TRUE(copy[0].equals("a"));   // deep copy

    CStringList target;
    target.add("x");
    target = copy;
    ASSERT_EQ(target.count(), 3);
    EXPECT_TRUE(target[2].equals("d"));
    EXPECT_EQ(target.indexOf(CString("c")), 1);
    EXPECT_EQ(target.indexOf(CString("x")), -1);
    target.clear();
    EXPECT_EQ(target.count(), 0);
    EXPECT_GE(target.capacity(), 3);
}
