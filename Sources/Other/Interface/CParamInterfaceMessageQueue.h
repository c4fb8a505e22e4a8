#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

// A first-in first-out chain of protocol messages. Each message sits in a node of its own, made
// outside any lock, so that putting a message into a queue or taking one out is a pointer swap:
// the spin-locked sections of the connectors never allocate, copy or free. No lock of its own.
class CParamInterfaceMessageQueue {
public:
    struct Node : CPoolAllocated {
        CByteBuffer message;
        Node* next = nullptr;
    };

    CParamInterfaceMessageQueue() = default;
    CParamInterfaceMessageQueue(const CParamInterfaceMessageQueue&) = delete;
    CParamInterfaceMessageQueue& operator=(const CParamInterfaceMessageQueue&) = delete;
    ~CParamInterfaceMessageQueue() { freeChain(takeAll()); }

    // --- nodes (no lock needed) ---
    // A new node that takes over the bytes of message (which is left empty).
    static Node* newNode(CByteBuffer& message);
    // Frees a chain of nodes linked through next, with their messages.
    static void freeChain(Node* node) noexcept;

    // --- the queue (the owner's lock held) ---
    void push(Node* node) noexcept;
    // The oldest node, taken out; null when empty.
    Node* pop() noexcept;
    // The whole chain, oldest first; the queue is empty afterwards.
    Node* takeAll() noexcept;
    const Node* front() const noexcept { return mHead; }
    bool isEmpty() const noexcept { return mHead == nullptr; }
    std::int32_t count() const noexcept { return mCount; }

private:
    Node* mHead = nullptr;
    Node* mTail = nullptr;
    std::int32_t mCount = 0;
};

} // namespace tal
