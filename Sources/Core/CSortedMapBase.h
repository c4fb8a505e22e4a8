#pragma once
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

// The links of one node of a red-black tree; CSortedMap<K, V>::Node adds the key and the value.
struct CSortedMapNode : CPoolAllocated {
    CSortedMapNode* left = nullptr;
    CSortedMapNode* right = nullptr;
    CSortedMapNode* parent = nullptr;
    std::int32_t colour = 1;   // 1 = red, 0 = black
};

// The key-independent part of CSortedMap: the red-black fix-ups and the in-order walk. Each
// operation takes the map's root slot, which the rotations rewrite when the root changes.
class CSortedMapBase {
public:
    static constexpr std::int32_t kRed = 1;
    static constexpr std::int32_t kBlack = 0;

    // Restores the tree after `node` was linked red under `parent`.
    static void rebalanceAfterAdd(CSortedMapNode** root, CSortedMapNode* node, CSortedMapNode* parent) noexcept;
    // Unlinks z, rebalancing. Every other node keeps its address, key and value; z is not freed.
    static void removeNode(CSortedMapNode** root, CSortedMapNode* z) noexcept;
    // Fix-up for a black node x that is about to be unlinked (x still stands where its child goes).
    static void rebalanceAfterRemove(CSortedMapNode** root, CSortedMapNode* x) noexcept;
    static CSortedMapNode* first(CSortedMapNode* root) noexcept;
    static CSortedMapNode* last(CSortedMapNode* root) noexcept;
    static CSortedMapNode* next(CSortedMapNode* node) noexcept;
    static CSortedMapNode* previous(CSortedMapNode* node) noexcept;

private:
    static void rotateLeft(CSortedMapNode** root, CSortedMapNode* x) noexcept;
    static void rotateRight(CSortedMapNode** root, CSortedMapNode* x) noexcept;
    static void replaceChild(CSortedMapNode** root, CSortedMapNode* parent, CSortedMapNode* from,
                             CSortedMapNode* to) noexcept;
    static void swapWithSuccessor(CSortedMapNode** root, CSortedMapNode* z, CSortedMapNode* s) noexcept;
};

} // namespace tal
