#include "Core/CSortedMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace tal;

namespace {

// Checks the red-black rules and the parent links below n; returns the black height.
template <class Node>
int checkSubtree(const CSortedMapNode* n, const CSortedMapNode* parent, int& nodes) {
    if (n == nullptr)
        return 1;
    ++nodes;
    EXPECT_EQ(n->parent, parent);
    if (n->colour == 1) {
        EXPECT_TRUE(n->left == nullptr || n->left->colour == 0) << "red node with a red child";
        EXPECT_TRUE(n->right == nullptr || n->right->colour == 0) << "red node with a red child";
    }
    const int left = checkSubtree<Node>(n->left, n, nodes);
    const int right = checkSubtree<Node>(n->right, n, nodes);
    EXPECT_EQ(left, right) << "unequal black heights";
    return left + (n->colour == 0 ? 1 : 0);
}

template <class K, class V>
void checkInvariants(const CSortedMap<K, V>& map) {
    if (map.root() != nullptr) {
        EXPECT_EQ(map.root()->colour, 0) << "the root must be black";
    }
    int nodes = 0;
    checkSubtree<typename CSortedMap<K, V>::Node>(map.root(), nullptr, nodes);
    EXPECT_EQ(nodes, map.count());
}

int height(const CSortedMapNode* n) {
    return n == nullptr ? 0 : 1 + std::max(height(n->left), height(n->right));
}

} // namespace

TEST(CSortedMap, AscendingInsertStaysBalanced) {
    CSortedMap<int, int> map;
    for (int k = 1; k <= 1000; ++k)
        map.findOrAdd(k)->value = -k;
    checkInvariants(map);
    EXPECT_LE(height(map.root()), int(2 * std::log2(1001.0)));
    int expected = 1;
    for (auto* n = map.first(); n != nullptr; n = map.next(n), ++expected) {
        ASSERT_EQ(n->key, expected);
        ASSERT_EQ(n->value, -expected);
    }
    EXPECT_EQ(expected, 1001);
}

TEST(CSortedMap, FindOrAddReturnsExistingNode) {
    CSortedMap<CString, CString> map;
    bool added = false;
    auto* node = map.findOrAdd(CString("key"), &added);
    EXPECT_TRUE(added);
    EXPECT_TRUE(node->value.isEmpty());
    node->value = CString("v");
    EXPECT_EQ(map.findOrAdd(CString("key"), &added), node);
    EXPECT_FALSE(added);
    EXPECT_EQ(map.count(), 1);
    CSortedMap<int, int> cache;
    EXPECT_EQ(cache.findOrAddWith(7, nullptr, -1)->value, -1);
}

TEST(CSortedMap, WideAndNarrowKeysAreTheSameKey) {
    CSortedMap<CString, int> map;
    map.findOrAdd(CString("abc"))->value = 1;
    CString wide("abc");
    wide.widen(wide.length());
    EXPECT_EQ(map.find(wide)->value, 1);
    map.findOrAdd(wide)->value = 2;
    EXPECT_EQ(map.count(), 1);
}

// Random inserts and removals against std::map: the same contents in the same order, the tree rules
// after every step, and every surviving node at the address it was created at.
TEST(CSortedMap, MatchesStdMapUnderRandomInsertAndRemove) {
    std::mt19937 rng(20261210);
    CSortedMap<int, int> map;
    std::map<int, int> reference;
    std::map<int, const void*> addresses;
    for (int step = 0; step < 20000; ++step) {
        const int key = int(rng() % 600) - 300;
        if (rng() % 3 != 0) {
            bool added = false;
            auto* node = map.findOrAdd(key, &added);
            EXPECT_EQ(added, reference.count(key) == 0);
            node->value = step;
            reference[key] = step;
            if (added)
                addresses[key] = node;
            EXPECT_EQ(addresses[key], node);
        } else {
            EXPECT_EQ(map.remove(key), reference.erase(key) == 1);
            addresses.erase(key);
        }
        if (step % 500 == 0)
            checkInvariants(map);
    }
    checkInvariants(map);
    ASSERT_EQ(map.count(), int(reference.size()));
    auto it = reference.begin();
    for (auto* n = map.first(); n != nullptr; n = map.next(n), ++it) {
        ASSERT_EQ(n->key, it->first);
        EXPECT_EQ(n->value, it->second);
        EXPECT_EQ(addresses[n->key], n);
    }
    auto rit = reference.rbegin();
    for (auto* n = map.last(); n != nullptr; n = map.previous(n), ++rit)
        ASSERT_EQ(n->key, rit->first);
}

TEST(CSortedMap, RemovingANodeWithTwoChildrenMovesNoOtherNode) {
    CSortedMap<CString, int> map;
    std::map<std::string, const void*> nodes;
    for (int k = 0; k < 64; ++k) {
        const CString key(k, 3);
        nodes[key.chars8()] = map.findOrAdd(key);
    }
    auto* root = map.root();
    ASSERT_TRUE(root->left != nullptr && root->right != nullptr);
    const std::string removed = root->key.chars8();
    map.remove(root->key);
    nodes.erase(removed);
    checkInvariants(map);
    auto it = nodes.begin();
    for (auto* n = map.first(); n != nullptr; n = map.next(n), ++it) {
        ASSERT_EQ(std::string(n->key.chars8()), it->first);
        EXPECT_EQ(static_cast<const void*>(n), it->second);
    }
    EXPECT_EQ(it, nodes.end());
    map.clear();
    EXPECT_TRUE(map.isEmpty());
    EXPECT_EQ(map.first(), nullptr);
}
