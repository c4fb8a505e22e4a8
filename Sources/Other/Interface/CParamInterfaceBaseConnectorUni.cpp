#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"

#include "Core/CObjectScheme.h"
#include "Core/Log.h"

#include <string>
#include <utility>

namespace tal {

using Node = CParamInterfaceMessageQueue::Node;

CObject* CParamInterfaceBaseConnectorUni::create() { return new CParamInterfaceBaseConnectorUni(); }

void CParamInterfaceBaseConnectorUni::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

CParamInterfaceBaseConnectorUni::~CParamInterfaceBaseConnectorUni() = default;

CParamInterfaceMessageQueue::Node* CParamInterfaceBaseConnectorUni::pushBounded(CClientSlot& slot, Node* node) noexcept {
    slot.queue.push(node);
    if (slot.queue.count() <= kMaxQueuedReplies)
        return nullptr;
    ++slot.dropped;
    return slot.queue.pop();
}

void CParamInterfaceBaseConnectorUni::logDropped(std::int32_t clientId, std::int32_t dropped) {
    if (dropped <= 0)
        return;
    const std::string line = std::to_string(dropped) + " replies to client " + std::to_string(clientId) +
                             " were dropped: its queue was full (" + std::to_string(kMaxQueuedReplies) +
                             " messages).";
    writeLog(line.c_str(), true);
}

void CParamInterfaceBaseConnectorUni::sendToClient(std::int32_t clientId, CByteBuffer& message) {
    if (message.isEmpty())
        return;
    if (clientId != -1) {
        Node* node = CParamInterfaceMessageQueue::newNode(message);
        bool queued = false;
        Node* dropped = nullptr;
        {
            CSpinLockGuard guard(mQueueLock);
            if (auto* slot = mClients.find(clientId)) {
                dropped = pushBounded(slot->value, node);
                queued = true;
            }
        }
        CParamInterfaceMessageQueue::freeChain(dropped);
        if (!queued) {
            message = std::move(node->message);
            delete node;
        }
        return;
    }
    // A broadcast: count the clients, make one node per client outside the lock, then queue them all
    // at once, unless the client set changed in between (then start over).
    for (;;) {
        std::int32_t clients = 0;
        std::uint32_t generation = 0;
        {
            CSpinLockGuard guard(mQueueLock);
            clients = mClients.count();
            generation = mGeneration;
        }
        if (clients == 0)
            return;
        Node* chain = nullptr;
        for (std::int32_t i = 1; i < clients; ++i) {
            CByteBuffer copy(message.data(), message.size());
            Node* node = CParamInterfaceMessageQueue::newNode(copy);
            node->next = chain;
            chain = node;
        }
        Node* last = CParamInterfaceMessageQueue::newNode(message);
        bool queued = false;
        Node* dropped = nullptr;  // the oldest messages of full queues, freed after the lock
        {
            CSpinLockGuard guard(mQueueLock);
            if (generation == mGeneration) {
                for (auto* slot = mClients.first(); slot != nullptr; slot = mClients.next(slot)) {
                    Node* node = chain != nullptr ? chain : last;
                    if (chain != nullptr)
                        chain = chain->next;
                    if (Node* old = pushBounded(slot->value, node)) {
                        old->next = dropped;
                        dropped = old;
                    }
                }
                queued = true;
            }
        }
        CParamInterfaceMessageQueue::freeChain(dropped);
        if (queued)
            return;
        message = std::move(last->message);
        delete last;
        CParamInterfaceMessageQueue::freeChain(chain);
    }
}

std::int32_t CParamInterfaceBaseConnectorUni::registerClient(CParamInterfaceClientConnectorUni* client) {
    CSpinLockGuard guard(mQueueLock);
    const std::int32_t id = ++mClientCounter;
    mClients.findOrAdd(id)->value.client = client;
    ++mGeneration;
    return id;
}

void CParamInterfaceBaseConnectorUni::unregisterClient(std::int32_t clientId) {
    Node* dropped = nullptr;
    std::int32_t droppedCount = 0;
    {
        CSpinLockGuard guard(mQueueLock);
        if (auto* slot = mClients.find(clientId)) {
            dropped = slot->value.queue.takeAll();
            droppedCount = slot->value.dropped;
            mClients.removeNode(slot);
            ++mGeneration;
        }
    }
    CParamInterfaceMessageQueue::freeChain(dropped);
    logDropped(clientId, droppedCount);
    notifyClientGone(clientId);
}

bool CParamInterfaceBaseConnectorUni::takeBaseData(std::int32_t clientId, CByteBuffer& out) {
    out.alloc(0);
    Node* node = nullptr;
    std::int32_t dropped = 0;
    {
        CSpinLockGuard guard(mQueueLock);
        if (auto* slot = mClients.find(clientId)) {
            node = slot->value.queue.pop();
            dropped = slot->value.dropped;
            slot->value.dropped = 0;
        }
    }
    logDropped(clientId, dropped);
    if (node == nullptr)
        return false;
    out = std::move(node->message);
    delete node;
    return true;
}

std::int32_t CParamInterfaceBaseConnectorUni::getBaseDataSize(std::int32_t clientId) {
    CSpinLockGuard guard(mQueueLock);
    auto* slot = mClients.find(clientId);
    return slot != nullptr && slot->value.queue.front() != nullptr ? slot->value.queue.front()->message.size() : 0;
}

std::int32_t CParamInterfaceBaseConnectorUni::queuedCount(std::int32_t clientId) {
    CSpinLockGuard guard(mQueueLock);
    auto* slot = mClients.find(clientId);
    return slot != nullptr ? slot->value.queue.count() : 0;
}

std::int32_t CParamInterfaceBaseConnectorUni::droppedCount(std::int32_t clientId) {
    CSpinLockGuard guard(mQueueLock);
    auto* slot = mClients.find(clientId);
    return slot != nullptr ? slot->value.dropped : 0;
}

std::int32_t CParamInterfaceBaseConnectorUni::clientCount() {
    CSpinLockGuard guard(mQueueLock);
    return mClients.count();
}

} // namespace tal
