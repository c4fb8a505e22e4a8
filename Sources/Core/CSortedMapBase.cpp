#include "Core/CSortedMapBase.h"

#include <utility>

namespace tal {

namespace {
bool isRed(const CSortedMapNode* n) noexcept { return n != nullptr && n->colour == CSortedMapBase::kRed; }
} // namespace

void CSortedMapBase::replaceChild(CSortedMapNode** root, CSortedMapNode* parent, CSortedMapNode* from,
                                  CSortedMapNode* to) noexcept {
    if (parent == nullptr)
        *root = to;
    else if (parent->left == from)
        parent->left = to;
    else
        parent->right = to;
    if (to != nullptr)
        to->parent = parent;
}

void CSortedMapBase::rotateLeft(CSortedMapNode** root, CSortedMapNode* x) noexcept {
    CSortedMapNode* y = x->right;
    x->right = y->left;
    if (y->left != nullptr)
        y->left->parent = x;
    replaceChild(root, x->parent, x, y);
    y->left = x;
    x->parent = y;
}

void CSortedMapBase::rotateRight(CSortedMapNode** root, CSortedMapNode* x) noexcept {
    CSortedMapNode* y = x->left;
    x->left = y->right;
    if (y->right != nullptr)
        y->right->parent = x;
    replaceChild(root, x->parent, x, y);
    y->right = x;
    x->parent = y;
}

void CSortedMapBase::rebalanceAfterAdd(CSortedMapNode** root, CSortedMapNode* node, CSortedMapNode* parent) noexcept {
    while (isRed(parent)) {
        CSortedMapNode* grand = parent->parent;   // a red parent is never the root
        const bool parentIsLeft = grand->left == parent;
        CSortedMapNode* uncle = parentIsLeft ? grand->right : grand->left;
        if (isRed(uncle)) {
            parent->colour = kBlack;
            uncle->colour = kBlack;
            if (grand == *root)
                return;
            grand->colour = kRed;
            node = grand;
            parent = node->parent;
            continue;
        }
        if (parentIsLeft && node == parent->right) {
            rotateLeft(root, parent);
            std::swap(node, parent);
        } else if (!parentIsLeft && node == parent->left) {
            rotateRight(root, parent);
            std::swap(node, parent);
        }
        parent->colour = kBlack;
        grand->colour = kRed;
        if (parentIsLeft)
            rotateRight(root, grand);
        else
            rotateLeft(root, grand);
        return;
    }
    (*root)->colour = kBlack;
}

// Exchanges the places of z and its in-order successor s (the leftmost node of z's right subtree),
// links and colours, so that z has at most one child and every key stays in its own node.
void CSortedMapBase::swapWithSuccessor(CSortedMapNode** root, CSortedMapNode* z, CSortedMapNode* s) noexcept {
    CSortedMapNode* zParent = z->parent;
    CSortedMapNode* zLeft = z->left;
    CSortedMapNode* sRight = s->right;
    CSortedMapNode* sParent = s->parent;
    std::swap(z->colour, s->colour);

    replaceChild(root, zParent, z, s);
    s->left = zLeft;
    zLeft->parent = s;
    if (z->right == s) {
        s->right = z;
        z->parent = s;
    } else {
        s->right = z->right;
        s->right->parent = s;
        sParent->left = z;
        z->parent = sParent;
    }
    z->left = nullptr;
    z->right = sRight;
    if (sRight != nullptr)
        sRight->parent = z;
}

void CSortedMapBase::removeNode(CSortedMapNode** root, CSortedMapNode* z) noexcept {
    if (z->left != nullptr && z->right != nullptr) {
        CSortedMapNode* s = z->right;
        while (s->left != nullptr)
            s = s->left;
        swapWithSuccessor(root, z, s);
    }
    CSortedMapNode* y = z->right != nullptr ? z->right : z->left;
    if (z->colour == kBlack)
        rebalanceAfterRemove(root, z);
    const bool wasRoot = z->parent == nullptr;
    replaceChild(root, z->parent, z, y);
    if (wasRoot && y != nullptr)
        y->colour = kBlack;
    z->left = z->right = z->parent = nullptr;
}

void CSortedMapBase::rebalanceAfterRemove(CSortedMapNode** root, CSortedMapNode* x) noexcept {
    for (;;) {
        CSortedMapNode* p = x->parent;
        if (p == nullptr)
            return;
        const bool xIsLeft = p->left == x;
        CSortedMapNode* s = xIsLeft ? p->right : p->left;
        if (isRed(s)) {
            s->colour = kBlack;
            p->colour = kRed;
            if (xIsLeft)
                rotateLeft(root, p);
            else
                rotateRight(root, p);
            s = xIsLeft ? p->right : p->left;
        }
        CSortedMapNode* nearChild = xIsLeft ? s->left : s->right;
        CSortedMapNode* farChild = xIsLeft ? s->right : s->left;
        if (!isRed(nearChild) && !isRed(farChild)) {
            s->colour = kRed;
            if (isRed(p)) {
                p->colour = kBlack;
                return;
            }
            x = p;
            continue;
        }
        if (!isRed(farChild)) {
            nearChild->colour = kBlack;
            s->colour = kRed;
            if (xIsLeft)
                rotateRight(root, s);
            else
                rotateLeft(root, s);
            s = xIsLeft ? p->right : p->left;
            farChild = xIsLeft ? s->right : s->left;
        }
        s->colour = p->colour;
        p->colour = kBlack;
        farChild->colour = kBlack;
        if (xIsLeft)
            rotateLeft(root, p);
        else
            rotateRight(root, p);
        return;
    }
}

CSortedMapNode* CSortedMapBase::first(CSortedMapNode* n) noexcept {
    if (n != nullptr)
        while (n->left != nullptr)
            n = n->left;
    return n;
}

CSortedMapNode* CSortedMapBase::last(CSortedMapNode* n) noexcept {
    if (n != nullptr)
        while (n->right != nullptr)
            n = n->right;
    return n;
}

CSortedMapNode* CSortedMapBase::next(CSortedMapNode* n) noexcept {
    if (n->right != nullptr)
        return first(n->right);
    while (n->parent != nullptr && n->parent->right == n)
        n = n->parent;
    return n->parent;
}

CSortedMapNode* CSortedMapBase::previous(CSortedMapNode* n) noexcept {
    if (n->left != nullptr)
        return last(n->left);
    while (n->parent != nullptr && n->parent->left == n)
        n = n->parent;
    return n->parent;
}

} // namespace tal
