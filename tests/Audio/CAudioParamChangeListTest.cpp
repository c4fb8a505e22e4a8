#include "Audio/CAudioParamChangeList.h"

#include "Audio/CAudioParamStorage.h"

#include "support/ParamChangeHelpers.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace tal;

namespace {

// A float storage whose group 0 holds 12 elements 100..111.
void prepare(CAudioParamStorage& s) {
    s.setFormat(1, CAudioParamStorage::kTypeFloat, false, false);
    std::vector<double> v;
    for (int i = 0; i < 12; ++i)
        v.push_back(100 + i);
    s.applyChange(floatChange(0, 0, v));
}

} // namespace

// Whenever two changes merge, applying the merged node equals applying both in order.
TEST(CAudioParamChangeList, MergedNodeEqualsApplyingBothChanges) {
    std::mt19937 rng(1234);
    int merges = 0, refusals = 0;
    for (int round = 0; round < 2000; ++round) {
        const int s = int(rng() % 8), n = int(rng() % 4), t = int(rng() % 9), k = int(rng() % 4);
        const bool truncA = rng() % 2, truncB = rng() % 2;
        std::vector<double> a, b;
        for (int i = 0; i < n; ++i)
            a.push_back(i + 1);
        for (int i = 0; i < k; ++i)
            b.push_back(-(i + 1));
        SCOPED_TRACE(::testing::Message() << "node " << s << "+" << n << (truncA ? "T" : "") << ", change " << t << "+"
                                          << k << (truncB ? "T" : ""));
        const CAudioParamChange ca = floatChange(0, s, a, truncA), cb = floatChange(0, t, b, truncB);
        CAudioParamChangeList::Node* node = CAudioParamChangeList::makeNode(nullptr, ca);
        const bool merged = CAudioParamChangeList::mergeInto(*node, cb);
        // Refused exactly when a gap separates the two ranges (a truncating change never leaves one
        // when it starts at or before the node).
        const bool gap = t > s + n || (t <= s && !truncB && t + k < s);
        EXPECT_EQ(merged, !gap);
        if (merged) {
            ++merges;
            CAudioParamStorage seq, one;
            prepare(seq);
            prepare(one);
            seq.applyChange(ca);
            seq.applyChange(cb);
            one.applyChange(node->change);
            EXPECT_EQ(groupValues(one, 0), groupValues(seq, 0));
        } else {
            ++refusals;
        }
        delete node;
    }
    EXPECT_GT(merges, 100);
    EXPECT_GT(refusals, 100);
}

TEST(CAudioParamChangeList, MergeKeepsStringItemsValid) {
    CAudioParamData ta, tb;
    const double a[2] = {double(ta.addString("a0")), double(ta.addString("a1"))};
    const double b[2] = {double(tb.addString("b1")), double(tb.addString("b2"))};
    CAudioParamChange ca;
    ca.dataType = CAudioParamStorage::kTypeString;
    ca.count = 2;
    ca.values = a;
    ca.table = &ta;
    CAudioParamChange cb = ca;
    cb.firstElement = 1;
    cb.values = b;
    cb.table = &tb;
    CAudioParamChangeList::Node* node = CAudioParamChangeList::makeNode(nullptr, ca);
    ASSERT_TRUE(CAudioParamChangeList::mergeInto(*node, cb));
    ASSERT_EQ(node->change.count, 3);
    const char* expect[3] = {"a0", "b1", "b2"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(node->table.getString(int(node->change.values[i])), CString(expect[i])) << i;
    EXPECT_EQ(node->table.getCount(), 3);  // the overwritten "a1" was released
    delete node;
}

TEST(CAudioParamChangeList, MergeRefusesOtherFormats) {
    const std::vector<double> v{1};
    CAudioParamChangeList::Node* node = CAudioParamChangeList::makeNode(nullptr, floatChange(0, 0, v));
    CAudioParamChange c = floatChange(0, 0, v);
    c.elementSize = 2;
    EXPECT_FALSE(CAudioParamChangeList::mergeInto(*node, c));
    c = floatChange(0, 0, v);
    c.singleGroup = true;
    EXPECT_FALSE(CAudioParamChangeList::mergeInto(*node, c));
    delete node;
}

TEST(CAudioParamChangeList, FormatChangeBetweenPreventsMerging) {
    CAudioParamChangeList list;
    int p = 0;
    auto* param = reinterpret_cast<CAudioParam*>(&p);
    const std::vector<double> v{1};
    list.addChange(param, floatChange(0, 0, v));
    list.addChange(param, floatChange(CAudioParamChange::kFormatGroup, 0, v, true));
    EXPECT_FALSE(list.mergeChange(param, floatChange(0, 0, v)));
    list.addChange(param, floatChange(0, 0, v));
    EXPECT_TRUE(list.mergeChange(param, floatChange(0, 0, v)));
    EXPECT_FALSE(list.mergeChange(param, floatChange(1, 0, v)));  // no node of group 1
    EXPECT_EQ(list.count(), 3);
}

TEST(CAudioParamChangeList, AppendMergingMergesPerParameterAndGroup) {
    int p1 = 0, p2 = 0;
    auto* a = reinterpret_cast<CAudioParam*>(&p1);
    auto* b = reinterpret_cast<CAudioParam*>(&p2);
    const std::vector<double> x{1}, y{2}, z{3};
    CAudioParamChangeList dest, src;
    dest.addChange(a, floatChange(0, 0, x));
    src.addChange(a, floatChange(0, 0, y));  // merges into dest's node of a
    src.addChange(b, floatChange(0, 0, z));  // appended
    src.addChange(b, floatChange(0, 1, z));  // merges into the node just appended
    dest.appendMerging(src);
    EXPECT_TRUE(src.isEmpty());
    ASSERT_EQ(dest.count(), 2);
    EXPECT_EQ(dest.head()->change.values[0], 2.0);
    EXPECT_EQ(dest.head()->next->change.count, 2);
}
