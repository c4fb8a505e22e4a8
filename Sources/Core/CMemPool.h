#pragma once
#include "Platform/CLockFreeStack.h"
#include "Platform/CSpinLock.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace tal {

// One size class of the framework's allocator. Blocks of a class are (classIndex + 1) * 16 bytes,
// 16-byte aligned, with a tag byte (the class number) just in front of each. Free blocks wait on a
// lock-free list; an empty list is refilled from a new chunk taken from the system heap under the
// class's spin lock. Chunks are never returned while the process runs.
// The 255 records live in `memPools`, one per class; they are constant-initialised, and a record's
// sizes are set by `initMemPool` on its first refill, so allocation works from the first static
// initialiser on. Any thread, the audio thread included: a refill calls malloc, except on a
// real-time thread (CPoolRealtimeScope), which takes the class's spare chunk (poolPrepareSpares).
struct alignas(64) CMemPool {
    CSpinLock lock;                       // serialises refills only
    std::uint64_t maxChunkBlocks = 0;     // chunkBlocks stops growing once it reaches this
    std::uint64_t stride = 0;             // distance between blocks in a chunk; 0 until initialised
    std::uint64_t chunkBlocks = 0;        // blocks in the next chunk
    void* chunks = nullptr;               // every chunk taken, linked through its first 8 bytes
    CLockFreeStack freeList;              // free blocks, linked through their first 8 bytes
    std::uint8_t classIndex = 0;
    // A chunk taken from the system heap off the real-time threads, waiting to serve a refill on
    // one of them; its first 8 bytes hold its block count until it is used.
    std::atomic<void*> spareChunk{nullptr};
};

constexpr int kPoolClassCount = 255;

// Each thread keeps a few free blocks per class of its own, so that a block freed and allocated
// again on one thread costs no atomic operation. A class's cache holds at most 16 KB of blocks
// (between 4 and 64 of them); when full, half of it moves to the class's free list in one swap.
// A thread's cache returns to the free lists when the thread ends.
struct CPoolThreadCache {
    void* top[kPoolClassCount];
    std::uint8_t count[kPoolClassCount];
    bool armed;   // the flush at thread exit is registered
    bool closed;  // the thread is ending: frees go straight to the free lists
};
// A thread's cache sits in a table of the allocator (or, past the table, on the system heap); the
// thread-local variables below are tiny and of the initial-exec model, because a dlopen'd module's
// other thread-locals are allocated with malloc on a thread's first access, and that first access
// may be an audio thread's first process call.
extern constinit thread_local CPoolThreadCache* poolThreadCachePtr __attribute__((tls_model("initial-exec")));
// Gives the calling thread its cache (on its first allocation or free).
CPoolThreadCache* poolAttachThreadCache() noexcept;
inline CPoolThreadCache& poolThreadCache() noexcept {
    CPoolThreadCache* cache = poolThreadCachePtr;
    return cache != nullptr ? *cache : *poolAttachThreadCache();
}
constexpr std::uint64_t kPoolMaxBlockSize = 4080;   // larger requests are large blocks
constexpr std::uint8_t kLargeBlockTag = 255;

extern CMemPool memPools[kPoolClassCount];

// Whether the calling thread is a real-time one (the audio thread inside a process call): its
// refills take the class's spare chunk instead of calling malloc. Set through CPoolRealtimeScope.
extern constinit thread_local bool poolRealtimeThread __attribute__((tls_model("initial-exec")));
class CPoolRealtimeScope {
public:
    CPoolRealtimeScope() noexcept : mWas(poolRealtimeThread) { poolRealtimeThread = true; }
    ~CPoolRealtimeScope() { poolRealtimeThread = mWas; }
    CPoolRealtimeScope(const CPoolRealtimeScope&) = delete;
    CPoolRealtimeScope& operator=(const CPoolRealtimeScope&) = delete;

private:
    bool mWas;
};
// Off the real-time threads (set-up, the main thread's idle work): gives every class that has
// served allocations a spare chunk of at least minBytes (and at least its next chunk's size),
// where it has none. Cheap when nothing was used since the last call (unless forced).
void poolPrepareSpares(bool force = false, std::uint64_t minBytes = 16384);
// Whether a real-time refill used a spare since the last poolPrepareSpares.
bool poolSparesWanted() noexcept;

// The class of a request of n bytes: 0 for 0 bytes, else ceil(n / 16) - 1; above 254 means large.
constexpr std::uint64_t poolClassOf(std::uint64_t n) noexcept { return n == 0 ? 0 : (n + 15) / 16 - 1; }

// --- the out-of-line operations ---
// The slow path of poolAlloc: returns a block of the pool's class, taking a new chunk when no other
// thread frees one while this one waits for the refill lock.
void* poolAllocRefill(CMemPool* pool);
// A block of exactly n bytes (n above 4080) from the system heap, 16-byte aligned, tagged large.
void* largeAlloc(std::uint64_t n);
// Returns a block of this allocator (never null, never an inline buffer) to its class, or a large
// block to the system heap. Any thread, also one that did not allocate it.
void poolFree(void* block) noexcept;
// A block of n bytes holding the first min(old capacity, n) bytes of `block`, which is freed; the
// same block when its capacity equals n exactly; a new block when `block` is null.
void* poolRealloc(void* block, std::uint64_t n);
// The block's capacity: its class size, or the requested length of a large block.
std::uint64_t poolBlockSize(const void* block) noexcept;
// Sets the sizes of a class record: 4 blocks in the first chunk, stride and growth limit by size.
void initMemPool(CMemPool* pool, std::uint64_t blockSize, std::uint8_t classIndex) noexcept;
// Frees every chunk of the class; its blocks become invalid. Only at process exit, after every
// other thread has ended.
void releaseMemPool(CMemPool* pool) noexcept;

// Allocation failure is not recoverable: the message goes to standard error and to the log, then
// the process aborts. Tests make the system heap refuse through the setter below.
[[noreturn]] void poolAllocationFailed(std::uint64_t bytes) noexcept;
void setSystemHeapFailsForTesting(bool fails) noexcept;
// Moves the calling thread's cached blocks to the free lists (at thread exit, and for tests).
void poolFlushThreadCache() noexcept;

// Marks a free block's bytes after its link word as unusable under AddressSanitizer, so that a
// use after poolFree is reported; no code in other builds.
inline void poolPoisonFree(void* block, std::uint64_t size) noexcept {
#if defined(__SANITIZE_ADDRESS__)
    ASAN_POISON_MEMORY_REGION(static_cast<char*>(block) + 8, size - 8);
#else
    (void)block;
    (void)size;
#endif
}
inline void poolUnpoison(void* block, std::uint64_t size) noexcept {
#if defined(__SANITIZE_ADDRESS__)
    ASAN_UNPOISON_MEMORY_REGION(static_cast<char*>(block) + 8, size - 8);
#else
    (void)block;
    (void)size;
#endif
}

// The allocation fast path: a block of the thread's cache, else one lock-free pop for pooled sizes. A block of a class has room for the
// whole class size. Never returns null: an exhausted system heap aborts the process.
inline void* poolAlloc(std::uint64_t n) {
    const std::uint64_t c = poolClassOf(n);
    if (c >= kPoolClassCount)
        return largeAlloc(n);
    CPoolThreadCache& cache = poolThreadCache();
    if (void* block = cache.top[c]) {
        cache.top[c] = *static_cast<void**>(block);
        --cache.count[c];
        poolUnpoison(block, (c + 1) * 16);
        return block;
    }
    if (void* block = memPools[c].freeList.pop()) {
        poolUnpoison(block, (c + 1) * 16);
        return block;
    }
    return poolAllocRefill(&memPools[c]);
}

} // namespace tal
