#include "Audio/CAudioParamChangeList.h"

#include <algorithm>

namespace tal {

namespace {

using Node = CAudioParamChangeList::Node;

int componentsOf(const Node& node) { return node.hasItems() ? 1 : node.change.elementSize; }

void releaseItems(Node& node, int first, int end) {
    if (!node.hasItems())
        return;
    for (int i = first; i < end; ++i)
        node.table.removeItem(int(node.values[i]));
}

// Writes the change's k elements at element index `at` of the node (which must be large enough).
void writeValues(Node& node, int at, const CAudioParamChange& change) {
    const int es = componentsOf(node);
    for (int i = 0; i < change.count; ++i) {
        if (node.hasItems()) {
            const CAudioParamData empty;
            const CAudioParamData& source = change.table != nullptr ? *change.table : empty;
            node.values[at + i] = node.table.copyItem(int(change.values[i]), source, change.dataType);
        } else {
            for (int c = 0; c < es; ++c)
                node.values[(at + i) * es + c] = change.values[i * es + c];
        }
    }
}

// The node drops its values and takes the change's range and values.
void becomeChange(Node& node, const CAudioParamChange& change) {
    releaseItems(node, 0, node.change.count);
    node.values.setCount(change.count * componentsOf(node));
    node.change.firstElement = change.firstElement;
    node.change.count = change.count;
    writeValues(node, 0, change);
}

} // namespace

void CAudioParamChangeList::Node::refresh() noexcept {
    change.values = values.data();
    change.table = &table;
}

CAudioParamChangeList::~CAudioParamChangeList() { clear(); }

CAudioParamChangeList::Node* CAudioParamChangeList::makeNode(CAudioParam* param, const CAudioParamChange& change) {
    Node* node = new Node;
    node->param = param;
    node->change = change;
    node->change.count = 0;
    node->values.setCount(change.count * componentsOf(*node));
    node->change.count = change.count;
    writeValues(*node, 0, change);
    node->refresh();
    return node;
}

void CAudioParamChangeList::appendNode(Node* node) noexcept {
    node->next = nullptr;
    if (mTail != nullptr)
        mTail->next = node;
    else
        mHead = node;
    mTail = node;
    ++mCount;
}

bool CAudioParamChangeList::mergeChange(CAudioParam* param, const CAudioParamChange& change) {
    if (change.group == CAudioParamChange::kFormatGroup)
        return false;
    Node* target = nullptr;
    for (Node* n = mHead; n != nullptr; n = n->next) {
        if (n->param != param)
            continue;
        if (n->change.group == CAudioParamChange::kFormatGroup)
            target = nullptr;
        else if (n->change.group == change.group)
            target = n;
    }
    return target != nullptr && mergeInto(*target, change);
}

bool CAudioParamChangeList::mergeInto(Node& node, const CAudioParamChange& change) {
    CAudioParamChange& nc = node.change;
    if (nc.elementSize != change.elementSize || nc.dataType != change.dataType ||
        nc.singleGroup != change.singleGroup || nc.singleElement != change.singleElement)
        return false;
    const int s = nc.firstElement, n = nc.count, t = change.firstElement, k = change.count;
    const int es = componentsOf(node);
    if (t > s) {
        if (t > s + n)
            return false;  // a gap after the node
        const int off = t - s;
        releaseItems(node, off, std::min(off + k, n));
        if (off + k > n)
            node.values.setCount((off + k) * es);
        writeValues(node, off, change);
        nc.count = std::max(n, off + k);
        if (change.truncate) {
            releaseItems(node, off + k, nc.count);
            nc.count = off + k;
            node.values.setCount(nc.count * es);
            nc.truncate = true;
        }
    } else if (change.truncate) {
        becomeChange(node, change);
        nc.truncate = true;
    } else if (t + k < s) {
        return false;  // a gap before the node
    } else if (s + n > t + k) {
        // The change's elements followed by the node's elements from t + k on.
        const int keep = t + k - s;  // node elements overwritten by the change
        releaseItems(node, 0, keep);
        CArray<double> rest;
        rest.setCount((n - keep) * es);
        for (int i = 0; i < (n - keep) * es; ++i)
            rest[i] = node.values[keep * es + i];
        node.values.setCount((k + n - keep) * es);
        writeValues(node, 0, change);
        for (int i = 0; i < (n - keep) * es; ++i)
            node.values[k * es + i] = rest[i];
        nc.firstElement = t;
        nc.count = s + n - t;
    } else {
        becomeChange(node, change);
    }
    node.refresh();
    return true;
}

void CAudioParamChangeList::append(CAudioParamChangeList& src) noexcept {
    if (src.mHead == nullptr)
        return;
    if (mTail != nullptr)
        mTail->next = src.mHead;
    else
        mHead = src.mHead;
    mTail = src.mTail;
    mCount += src.mCount;
    src.mHead = src.mTail = nullptr;
    src.mCount = 0;
}

void CAudioParamChangeList::appendMerging(CAudioParamChangeList& src) {
    if (mHead == nullptr) {
        append(src);
        return;
    }
    Node* n = src.mHead;
    src.mHead = src.mTail = nullptr;
    src.mCount = 0;
    while (n != nullptr) {
        Node* next = n->next;
        if (mergeChange(n->param, n->change))
            delete n;
        else
            appendNode(n);
        n = next;
    }
}

void CAudioParamChangeList::clear() noexcept {
    for (Node* n = mHead; n != nullptr;) {
        Node* next = n->next;
        delete n;
        n = next;
    }
    mHead = mTail = nullptr;
    mCount = 0;
}

} // namespace tal
