#pragma once
#include <cstdint>
#include <cstring>

namespace tal {

// An intrusive lock-free LIFO of memory blocks: the free lists of the size-class allocator.
// The link to the next block lives in the first 8 bytes of each block on the stack. The head is a
// pointer plus a 64-bit counter swapped together with one 128-bit compare-and-swap (cmpxchg16b), so
// a block that is popped, reused and pushed again between another thread's read and its swap
// (the ABA case) makes that swap fail instead of corrupting the list.
// Any thread may push and pop. A block's memory must stay mapped for the life of the process (the
// allocator never returns its chunks while running), because a pop may read the link word of a
// block that another thread has just taken.
class CLockFreeStack {
public:
    constexpr CLockFreeStack() = default;
    CLockFreeStack(const CLockFreeStack&) = delete;
    CLockFreeStack& operator=(const CLockFreeStack&) = delete;

    // --- any thread ---
    void push(void* block) noexcept {
        Head seen = load();
        for (;;) {
            std::memcpy(block, &seen.top, sizeof(void*));
            if (swap(seen, Head{block, seen.count + 1}))
                return;
        }
    }
    // Pushes a chain of blocks already linked from first to last (last's link is overwritten) with
    // one swap; first ends on top.
    void pushChain(void* first, void* last) noexcept {
        Head seen = load();
        for (;;) {
            std::memcpy(last, &seen.top, sizeof(void*));
            if (swap(seen, Head{first, seen.count + 1}))
                return;
        }
    }
    // The block last pushed, or null when the stack is empty.
    void* pop() noexcept {
        Head seen = load();
        while (seen.top != nullptr) {
            if (swap(seen, Head{readLink(seen.top), seen.count + 1}))
                return seen.top;
        }
        return nullptr;
    }
    bool isEmpty() const noexcept { return __atomic_load_n(&mHead.top, __ATOMIC_ACQUIRE) == nullptr; }

private:
    struct alignas(16) Head {
        void* top;
        std::uint64_t count;
    };
    static_assert(sizeof(Head) == 16);

    // The two halves are read separately; a torn pair only makes the following swap fail.
    Head load() const noexcept {
        Head h;
        h.count = __atomic_load_n(&mHead.count, __ATOMIC_ACQUIRE);
        h.top = __atomic_load_n(&mHead.top, __ATOMIC_ACQUIRE);
        return h;
    }
    // Replaces the head with `desired` when it still equals `seen`; otherwise loads it into `seen`.
    bool swap(Head& seen, Head desired) noexcept {
        unsigned __int128 expected, wanted;
        std::memcpy(&expected, &seen, sizeof expected);
        std::memcpy(&wanted, &desired, sizeof wanted);
        const unsigned __int128 before =
            __sync_val_compare_and_swap(reinterpret_cast<unsigned __int128*>(&mHead), expected, wanted);
        if (before == expected)
            return true;
        std::memcpy(&seen, &before, sizeof seen);
        return false;
    }
    // The link word of a block that may have been taken by another thread since the head was read:
    // the value is then stale and the swap that uses it fails, so the read is a benign race.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    __attribute__((no_sanitize_thread, no_sanitize_address, noinline))
#endif
    static void* readLink(void* block) noexcept {
        return *static_cast<void* const*>(block);
    }

    Head mHead{nullptr, 0};
};

} // namespace tal
