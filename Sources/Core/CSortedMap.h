#pragma once
#include "Core/CSortedMapBase.h"
#include "Core/CString.h"

#include <cstdint>
#include <type_traits>
#include <utility>

namespace tal {

// Three-way key comparison of the sorted maps: strings by compareStrings, numbers as signed values of
// their width, pointers by address.
inline int compareKeys(const CString& a, const CString& b) noexcept { return compareStrings(a, b); }
template <class K>
    requires std::is_arithmetic_v<K> || std::is_pointer_v<K> || std::is_enum_v<K>
constexpr int compareKeys(K a, K b) noexcept {
    return a < b ? -1 : b < a ? 1 : 0;
}

// The framework's sorted map: a red-black tree of nodes from the size-class allocator, each owning a
// copy of its key and its value. Keys are unique and ascend in the in-order walk (first, next).
// Removal never moves another node, so node pointers held elsewhere stay valid until their own key
// is removed. The map belongs to its owner and has no lock of its own.
template <class K, class V>
class CSortedMap {
public:
    struct Node : CSortedMapNode {
        template <class... A>
        explicit Node(const K& k, A&&... initial) : key(k), value(std::forward<A>(initial)...) {}
        K key;
        V value;
    };

    // --- life cycle ---
    CSortedMap() noexcept = default;
    CSortedMap(const CSortedMap&) = delete;
    CSortedMap& operator=(const CSortedMap&) = delete;
    CSortedMap(CSortedMap&& other) noexcept : mRoot(other.mRoot), mCount(other.mCount) {
        other.mRoot = nullptr;
        other.mCount = 0;
    }
    CSortedMap& operator=(CSortedMap&& other) noexcept {
        if (this != &other) {
            clear();
            std::swap(mRoot, other.mRoot);
            std::swap(mCount, other.mCount);
        }
        return *this;
    }
    ~CSortedMap() { destroyNodes(root()); }

    // --- queries ---
    int count() const noexcept { return mCount; }
    bool isEmpty() const noexcept { return mRoot == nullptr; }
    Node* root() const noexcept { return static_cast<Node*>(mRoot); }
    Node* find(const K& key) const noexcept {
        CSortedMapNode* n = mRoot;
        while (n != nullptr) {
            const int c = compareKeys(static_cast<Node*>(n)->key, key);
            if (c == 0)
                return static_cast<Node*>(n);
            n = c > 0 ? n->left : n->right;
        }
        return nullptr;
    }
    bool contains(const K& key) const noexcept { return find(key) != nullptr; }
    Node* first() const noexcept { return static_cast<Node*>(CSortedMapBase::first(mRoot)); }
    Node* last() const noexcept { return static_cast<Node*>(CSortedMapBase::last(mRoot)); }
    static Node* next(Node* node) noexcept { return static_cast<Node*>(CSortedMapBase::next(node)); }
    static Node* previous(Node* node) noexcept { return static_cast<Node*>(CSortedMapBase::previous(node)); }

    // --- operations ---
    // The node of the key, added with a value-initialised value when absent (added tells which).
    Node* findOrAdd(const K& key, bool* added = nullptr) { return findOrAddWith(key, added); }
    // The same, a new node's value made from `initial`.
    template <class... A>
    Node* findOrAddWith(const K& key, bool* added, A&&... initial) {
        CSortedMapNode* parent = nullptr;
        int c = 0;
        for (CSortedMapNode* n = mRoot; n != nullptr; n = c > 0 ? n->left : n->right) {
            c = compareKeys(static_cast<Node*>(n)->key, key);
            if (c == 0) {
                if (added != nullptr)
                    *added = false;
                return static_cast<Node*>(n);
            }
            parent = n;
        }
        Node* node = new Node(key, std::forward<A>(initial)...);
        node->parent = parent;
        ++mCount;
        if (parent == nullptr) {
            node->colour = CSortedMapBase::kBlack;
            mRoot = node;
        } else {
            (c > 0 ? parent->left : parent->right) = node;
            CSortedMapBase::rebalanceAfterAdd(&mRoot, node, parent);
        }
        if (added != nullptr)
            *added = true;
        return node;
    }
    // Removes and destroys the node of the key; whether there was one.
    bool remove(const K& key) noexcept {
        Node* node = find(key);
        if (node != nullptr)
            removeNode(node);
        return node != nullptr;
    }
    // Removes and destroys a node of this map.
    void removeNode(Node* node) noexcept {
        CSortedMapBase::removeNode(&mRoot, node);
        delete node;
        --mCount;
    }
    void clear() noexcept {
        destroyNodes(root());
        mRoot = nullptr;
        mCount = 0;
    }

    // Frees a whole subtree (keys and values destroyed); the caller resets the root and the count.
    static void destroyNodes(Node* node) noexcept {
        while (node != nullptr) {
            destroyNodes(static_cast<Node*>(node->left));
            Node* right = static_cast<Node*>(node->right);
            delete node;
            node = right;
        }
    }

private:
    CSortedMapNode* mRoot = nullptr;
    std::int32_t mCount = 0;
};

} // namespace tal
