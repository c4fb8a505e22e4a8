#pragma once

#include <cstddef>
#include <cstdint>

namespace tal {

class CAudioBlockPool;

// The header in front of the samples of every audio block. The samples start 4 bytes after the
// end of the use count, so the raw allocation pointer lies 32 bytes before the first sample.
struct CAudioBlockHeader {
    void* rawAllocation = nullptr;        // what is freed when the block leaves its pool
    CAudioBlockPool* pool = nullptr;      // the pool the block returns to
    std::int32_t listIndex = 0;           // 0..127 small size class, 128 large
    std::int32_t capacity = 0;            // usable bytes of the sample area
    std::int32_t useCount = 0;            // number of holders
    std::int32_t padding = 0;
};
static_assert(sizeof(CAudioBlockHeader) == 32);

// The per-instance pool of reference-counted audio blocks (buffers of 64-bit samples). A block is
// handled by the address of its first sample; it goes back onto a last-in first-out free list of
// its pool when its last holder releases it, so that steady block processing never calls the
// general allocator.
//
// Owned by the plug-in shell (one per instance), destroyed after every process, module and delay
// line of the instance. One thread at a time uses a pool and its blocks (normally the audio
// thread); nothing here locks. Whoever stores a block it did not allocate adds a use (addUse),
// whoever drops one releases a use (releaseBlock); a block with use count 1 may be written in place.
class CAudioBlockPool {
public:
    static constexpr int kListCount = 129;          // 128 small lists of 512-byte granules, 1 large
    static constexpr int kLargeList = 128;
    static constexpr int kGranuleBytes = 512;
    static constexpr int kLargestSmallBytes = 65536;
    static constexpr int kHeaderBytes = 48;         // extra bytes of each raw allocation

    CAudioBlockPool() = default;
    CAudioBlockPool(const CAudioBlockPool&) = delete;
    CAudioBlockPool& operator=(const CAudioBlockPool&) = delete;
    ~CAudioBlockPool();                             // frees every block on the free lists

    // --- audio thread ---
    // A block of at least `bytes` bytes (a request below 1 counts as 1) with use count 1; its
    // samples hold whatever its previous user left. Raw blocks come from the size-class allocator
    // (which aborts the process when the system has no memory).
    double* allocBlock(int bytes) noexcept;
    // Main thread, while no block is processed: makes blocks of `bytes` until the list serving
    // them holds at least count free ones. A request whose own list is empty is served from the
    // nearest larger small list that has a free block, so blocks reserved at the largest
    // sub-block size serve every shorter one.
    void reserve(int bytes, int count);
    // Blocks made from the allocator since the pool was made (tests and diagnostics).
    std::int64_t madeBlocks() const noexcept { return mMade; }
    // Drops one use; the last use returns the block to its pool's free list.
    static void releaseBlock(double* block) noexcept;
    static void addUse(double* block) noexcept { header(block)->useCount++; }

    // --- queries ---
    static CAudioBlockHeader* header(double* block) noexcept {
        return reinterpret_cast<CAudioBlockHeader*>(reinterpret_cast<std::byte*>(block) - sizeof(CAudioBlockHeader));
    }
    static int useCount(double* block) noexcept { return header(block)->useCount; }
    static int capacity(double* block) noexcept { return header(block)->capacity; }
    static int listIndex(double* block) noexcept { return header(block)->listIndex; }
    // The first free block of a list, null when the list is empty.
    double* firstFree(int list) const noexcept { return mHeads[list]; }

private:
    double* makeBlock(int listIndex, int capacity) noexcept;

    double* mHeads[kListCount] = {};
    std::int64_t mMade = 0;
};

} // namespace tal
