#pragma once
#include "Audio/CAudioWrapperEvent.h"

#include <cstdint>

namespace tal {

// The queue of timed host events of one plug-in instance. The binding appends a block's events,
// the loop sorts them by offset (events at one offset keep their arrival order) and walks them
// sub-block by sub-block, and empties the queue at the end of the block.
// Storage is reserved once at construction: appending and sorting never allocate, so the audio
// thread stays off the system heap. An event beyond the capacity is dropped and counted.
// Threads: the audio thread only (the binding's process call and the loop).
class CAudioWrapperEventQueue {
public:
    // Room for every parameter of a large plug-in with 32 points each, several blocks over.
    static constexpr std::int32_t kCapacity = 8192;

    CAudioWrapperEventQueue();
    CAudioWrapperEventQueue(const CAudioWrapperEventQueue&) = delete;
    CAudioWrapperEventQueue& operator=(const CAudioWrapperEventQueue&) = delete;
    ~CAudioWrapperEventQueue();

    // --- the binding ---
    // Appends one event; false (and the event is dropped) when the queue is full.
    bool append(const CAudioWrapperEvent& event) noexcept;

    // --- the loop ---
    std::int32_t count() const noexcept { return mCount; }
    const CAudioWrapperEvent& operator[](std::int32_t i) const noexcept { return mEvents[i].event; }
    // Orders the events by offset, stably, in place.
    void sort() noexcept;
    void clear() noexcept { mCount = 0; }
    // Events dropped because the queue was full, since construction.
    std::int64_t droppedCount() const noexcept { return mDropped; }

private:
    struct CEntry {
        CAudioWrapperEvent event;
        std::int32_t sequence;   // arrival order: the tie-break that keeps the sort stable
    };
    CEntry* mEvents = nullptr;
    std::int32_t mCount = 0;
    std::int64_t mDropped = 0;
};

} // namespace tal
