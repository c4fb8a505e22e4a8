#pragma once

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamData.h"
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"

namespace tal {

class CAudioParam;

// A list of queued change copies for the audio side. Each node owns its values (up to 8 inline)
// and the items of its string and raw ids. Not locked: the collector guards its pending list with
// the environment's processing lock; other lists belong to one thread.
class CAudioParamChangeList {
public:
    struct Node : CPoolAllocated {
        CAudioParam* param = nullptr;
        Node* next = nullptr;
        CAudioParamChange change;  // values and table point into this node
        CArray<double> values;
        CAudioParamData table;

        // Repoints change.values and change.table at this node's own data.
        void refresh() noexcept;
        bool hasItems() const noexcept { return change.dataType != 0; }
    };

    CAudioParamChangeList() = default;
    ~CAudioParamChangeList();
    CAudioParamChangeList(const CAudioParamChangeList&) = delete;
    CAudioParamChangeList& operator=(const CAudioParamChangeList&) = delete;

    // --- building ---
    // A node holding a copy of the change (items copied into the node's table).
    static Node* makeNode(CAudioParam* param, const CAudioParamChange& change);
    void appendNode(Node* node) noexcept;
    // Copies the change to the tail, without merging.
    void addChange(CAudioParam* param, const CAudioParamChange& change) { appendNode(makeNode(param, change)); }
    // Merges the change into the last node of the same parameter and group (since that parameter's
    // last format change); true when it merged. Format changes never merge.
    bool mergeChange(CAudioParam* param, const CAudioParamChange& change);
    // Merges a change into one node when the formats agree and the element ranges touch.
    static bool mergeInto(Node& node, const CAudioParamChange& change);
    // Moves all nodes of src to the tail unchanged; src ends empty.
    void append(CAudioParamChangeList& src) noexcept;
    // Moves the nodes of src to the tail, merging each where mergeChange would; src ends empty.
    void appendMerging(CAudioParamChangeList& src);
    void clear() noexcept;

    // --- queries ---
    Node* head() const noexcept { return mHead; }
    int count() const noexcept { return mCount; }
    bool isEmpty() const noexcept { return mHead == nullptr; }

private:
    Node* mHead = nullptr;
    Node* mTail = nullptr;
    int mCount = 0;
};

} // namespace tal
