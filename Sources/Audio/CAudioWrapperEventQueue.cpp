#include "Audio/CAudioWrapperEventQueue.h"

#include "Core/CMemPool.h"

#include <algorithm>

namespace tal {

CAudioWrapperEventQueue::CAudioWrapperEventQueue()
    : mEvents(static_cast<CEntry*>(poolAlloc(sizeof(CEntry) * std::size_t(kCapacity)))) {}

CAudioWrapperEventQueue::~CAudioWrapperEventQueue() { poolFree(mEvents); }

bool CAudioWrapperEventQueue::append(const CAudioWrapperEvent& event) noexcept {
    if (mCount == kCapacity) {
        ++mDropped;
        return false;
    }
    mEvents[mCount] = CEntry {event, mCount};
    ++mCount;
    return true;
}

void CAudioWrapperEventQueue::sort() noexcept {
    // Offsets compared directly (never subtracted: no overflow), arrival order breaking ties, so
    // two points of one parameter at one offset run in the order the host gave them.
    std::sort(mEvents, mEvents + mCount, [](const CEntry& a, const CEntry& b) {
        if (a.event.offset != b.event.offset)
            return a.event.offset < b.event.offset;
        return a.sequence < b.sequence;
    });
}

} // namespace tal
