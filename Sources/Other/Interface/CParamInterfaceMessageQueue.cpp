#include "Other/Interface/CParamInterfaceMessageQueue.h"

#include <utility>

namespace tal {

CParamInterfaceMessageQueue::Node* CParamInterfaceMessageQueue::newNode(CByteBuffer& message) {
    Node* node = new Node;
    node->message = std::move(message);
    return node;
}

void CParamInterfaceMessageQueue::freeChain(Node* node) noexcept {
    while (node != nullptr) {
        Node* next = node->next;
        delete node;
        node = next;
    }
}

void CParamInterfaceMessageQueue::push(Node* node) noexcept {
    node->next = nullptr;
    if (mTail == nullptr)
        mHead = node;
    else
        mTail->next = node;
    mTail = node;
    ++mCount;
}

CParamInterfaceMessageQueue::Node* CParamInterfaceMessageQueue::pop() noexcept {
    Node* node = mHead;
    if (node == nullptr)
        return nullptr;
    mHead = node->next;
    if (mHead == nullptr)
        mTail = nullptr;
    node->next = nullptr;
    --mCount;
    return node;
}

CParamInterfaceMessageQueue::Node* CParamInterfaceMessageQueue::takeAll() noexcept {
    Node* chain = mHead;
    mHead = mTail = nullptr;
    mCount = 0;
    return chain;
}

} // namespace tal
