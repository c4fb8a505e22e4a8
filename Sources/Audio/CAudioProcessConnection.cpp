#include "Audio/CAudioProcessConnection.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioLatencyDelay.h"

namespace tal {

CAudioProcessConnection::CAudioProcessConnection(std::int32_t sourcePortSelector,
                                                 std::int32_t* ownerFormatCounter) noexcept
    : sourcePort(sourcePortSelector), formatCounter(ownerFormatCounter) {}

CAudioProcessConnection::~CAudioProcessConnection() {
    for (int i = 0; i < kMaxChannels; ++i)   // blocks stored but not yet taken by the owner
        if (channels[i].block != nullptr)
            CAudioBlockPool::releaseBlock(channels[i].block);
    for (int i = 0; i < delays.count(); ++i)
        delete delays[i];
}

CAudioChannelDesc* CAudioProcessConnection::recordOfKey(int key) const noexcept {
    if (key < 0 || key >= kMaxChannels)
        return nullptr;
    CAudioChannelDesc* record = keyIndex[key];
    // Entries of keys the current format lacks may still point at an old record.
    if (record == nullptr || record - channels >= channelCount)
        return nullptr;
    const int recordKey = record->sourcePortOrCount * 16 + record->key;
    return recordKey == key ? record : nullptr;
}

void CAudioProcessConnection::storeBlock(int key, double* block) noexcept {
    CAudioChannelDesc* record = recordOfKey(key);
    if (record == nullptr) {
        CAudioBlockPool::releaseBlock(block);
        return;
    }
    if (record->block != nullptr)   // a block the owner never took (it did not run)
        CAudioBlockPool::releaseBlock(record->block);
    record->block = block;
}

} // namespace tal
