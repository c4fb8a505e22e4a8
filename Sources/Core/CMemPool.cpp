#include "Core/CMemPool.h"

#include "Core/Log.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace tal {

CMemPool memPools[kPoolClassCount];
constinit thread_local CPoolThreadCache* poolThreadCachePtr __attribute__((tls_model("initial-exec"))) = nullptr;
constinit thread_local bool poolRealtimeThread __attribute__((tls_model("initial-exec"))) = false;

namespace {

std::atomic<bool> gSystemHeapFails{false};
std::atomic<bool> gSparesWanted{true};

void* systemAlloc(std::uint64_t bytes) {
    void* m = gSystemHeapFails.load(std::memory_order_relaxed) ? nullptr : std::malloc(bytes);
    if (m == nullptr)
        poolAllocationFailed(bytes);
    return m;
}

std::uintptr_t alignDown16(std::uintptr_t a) noexcept { return a & ~std::uintptr_t(15); }

unsigned char* tagOf(const void* block) noexcept {
    return const_cast<unsigned char*>(static_cast<const unsigned char*>(block)) - 1;
}

std::uint64_t largeLength(const void* block) noexcept {
    std::uint64_t n;
    std::memcpy(&n, static_cast<const unsigned char*>(block) - 9, sizeof n);
    return n;
}

int cacheLimit(unsigned tag) noexcept {
    const unsigned limit = 16384 / ((tag + 1) * 16);
    return int(limit < 4 ? 4 : limit > 64 ? 64 : limit);
}

// Moves the newest `count` blocks of a class's cache to the class's free list in one swap.
void spillCache(CPoolThreadCache& cache, unsigned tag, int count) noexcept {
    void* first = cache.top[tag];
    void* last = first;
    for (int i = 1; i < count; ++i)
        last = *static_cast<void**>(last);
    cache.top[tag] = *static_cast<void**>(last);
    cache.count[tag] = std::uint8_t(cache.count[tag] - count);
    memPools[tag].freeList.pushChain(first, last);
}

// Returns the thread's cached blocks when the thread ends; later frees on this thread (from
// destructors that run after this one) go straight to the free lists. The flush is a thread-key
// destructor rather than a thread_local object's: glibc keeps a module mapped after dlclose while
// any thread holds a thread_local destructor of it, whereas the key is deleted when the module
// unloads, after which no thread calls into it at its exit.
// The caches of the table and whether a thread holds each; a thread ending gives its entry back.
constexpr int kCacheTableSize = 256;
CPoolThreadCache gCacheTable[kCacheTableSize];
std::atomic<bool> gCacheTaken[kCacheTableSize];
// What an ended thread's later frees see: closed, and empty for its allocations.
constinit CPoolThreadCache gClosedCache{{}, {}, true, true};

void flushAtThreadExit(void*) noexcept {
    CPoolThreadCache* cache = poolThreadCachePtr;
    if (cache == nullptr || cache == &gClosedCache)
        return;
    poolFlushThreadCache();
    poolThreadCachePtr = &gClosedCache;
    const std::ptrdiff_t index = cache - gCacheTable;
    if (index >= 0 && index < kCacheTableSize) {
        gCacheTaken[index].store(false, std::memory_order_release);
    } else {
        std::free(cache);
    }
}

struct CacheFlushKey {
    pthread_key_t key{};
    bool made = pthread_key_create(&key, &flushAtThreadExit) == 0;
    ~CacheFlushKey() {
        if (made)
            pthread_key_delete(key);
        made = false;
    }
};

void armCache(CPoolThreadCache& cache) noexcept {
    static CacheFlushKey flushKey;
    cache.armed = true;
    if (flushKey.made)
        pthread_setspecific(flushKey.key, &cache);   // any non-null value: the destructor runs
}

// Takes a block from the free list, polling it while another thread holds the refill lock.
void* popOrLock(CMemPool* pool) noexcept {
    int spins = 0;
    while (!pool->lock.tryLock()) {
        if (void* block = pool->freeList.pop())
            return block;
        if (++spins == 64) {
            sched_yield();
            spins = 0;
        }
    }
    return nullptr;
}

} // namespace

void initMemPool(CMemPool* pool, std::uint64_t blockSize, std::uint8_t classIndex) noexcept {
    pool->classIndex = classIndex;
    pool->chunkBlocks = 4;
    const std::uint64_t rounded = blockSize & ~std::uint64_t(15);
    pool->stride = (rounded > 16 ? rounded : 16) + 16;
    pool->maxChunkBlocks = pool->stride < 256 ? 512 : pool->stride < 512 ? 256 : pool->stride < 1024 ? 64 : 48;
}

void* poolAllocRefill(CMemPool* pool) {
    if (void* block = popOrLock(pool)) {
        poolUnpoison(block, poolBlockSize(block));
        return block;
    }
    if (pool->stride == 0) {   // a record of the global table on its first refill
        const std::uint64_t classIndex = std::uint64_t(pool - memPools);
        initMemPool(pool, (classIndex + 1) * 16, std::uint8_t(classIndex));
    }
    const std::uint64_t blockSize = (std::uint64_t(pool->classIndex) + 1) * 16;
    std::uint64_t count = pool->chunkBlocks;
    void* chunk = nullptr;
    if (poolRealtimeThread) {
        chunk = pool->spareChunk.exchange(nullptr, std::memory_order_acquire);
        if (chunk != nullptr) {
            std::memcpy(&count, chunk, sizeof count);
            gSparesWanted.store(true, std::memory_order_relaxed);
        }
    }
    if (chunk == nullptr)
        chunk = gSystemHeapFails.load(std::memory_order_relaxed) ? nullptr : std::malloc(pool->stride * count + 24);
    if (chunk == nullptr) {
        pool->lock.unlock();
        poolAllocationFailed(pool->stride * count + 24);
    }
    std::memcpy(chunk, &pool->chunks, sizeof(void*));
    pool->chunks = chunk;

    unsigned char* first = reinterpret_cast<unsigned char*>(alignDown16(reinterpret_cast<std::uintptr_t>(chunk) + 25));
    first[-1] = pool->classIndex;
    // The other blocks go on the free list as one chain, the highest address on top.
    unsigned char* below = nullptr;
    for (std::uint64_t k = 1; k < count; ++k) {
        unsigned char* block = first + k * pool->stride;
        block[-1] = pool->classIndex;
        std::memcpy(block, &below, sizeof below);
        poolPoisonFree(block, blockSize);
        below = block;
    }
    if (count > 1)
        pool->freeList.pushChain(first + (count - 1) * pool->stride, first + pool->stride);
    if (pool->chunkBlocks < pool->maxChunkBlocks)
        pool->chunkBlocks += pool->chunkBlocks * 10 / 16;
    pool->lock.unlock();
    return first;
}

namespace {
// A spare serves a burst of new objects of one size, such as the modules of every band switched on
// in one block.
constexpr std::uint64_t kMinSpareBlocks = 24;
} // namespace

bool poolSparesWanted() noexcept { return gSparesWanted.load(std::memory_order_relaxed); }

void poolPrepareSpares(bool force, std::uint64_t minBytes) {
    if (!gSparesWanted.exchange(false, std::memory_order_relaxed) && !force)
        return;
    for (CMemPool& pool : memPools) {
        if (pool.spareChunk.load(std::memory_order_relaxed) != nullptr)
            continue;
        std::uint64_t stride = 0, count = 0;
        {
            CSpinLockGuard guard(pool.lock);
            stride = pool.stride;
            count = pool.chunkBlocks;
        }
        if (stride == 0)
            continue;   // a class nobody has used
        count = std::max({count, (minBytes + stride - 1) / stride, kMinSpareBlocks});
        void* chunk = systemAlloc(stride * count + 24);
        std::memcpy(chunk, &count, sizeof count);
        void* expected = nullptr;
        if (!pool.spareChunk.compare_exchange_strong(expected, chunk, std::memory_order_release))
            std::free(chunk);
    }
}

void* largeAlloc(std::uint64_t n) {
    if (n > UINT64_MAX - 25)
        poolAllocationFailed(n);
    unsigned char* m = static_cast<unsigned char*>(systemAlloc(n + 25));
    for (unsigned char i = 0; i < 16; ++i)
        m[i] = i;
    unsigned char* p = reinterpret_cast<unsigned char*>(alignDown16(reinterpret_cast<std::uintptr_t>(m) + 25));
    p[-1] = kLargeBlockTag;
    std::memcpy(p - 9, &n, sizeof n);
    return p;
}

void poolFree(void* block) noexcept {
    const unsigned char tag = *tagOf(block);
    if (tag != kLargeBlockTag) {
        poolPoisonFree(block, (std::uint64_t(tag) + 1) * 16);
        CPoolThreadCache& cache = poolThreadCache();
        if (cache.closed) {
            memPools[tag].freeList.push(block);
            return;
        }
        if (!cache.armed)
            armCache(cache);
        const int limit = cacheLimit(tag);
        if (cache.count[tag] >= limit)
            spillCache(cache, tag, limit / 2);
        *static_cast<void**>(block) = cache.top[tag];
        cache.top[tag] = block;
        ++cache.count[tag];
        return;
    }
    unsigned char* p = static_cast<unsigned char*>(block);
    std::free(p - 10 - p[-10]);
}

std::uint64_t poolBlockSize(const void* block) noexcept {
    const unsigned char tag = *tagOf(block);
    return tag == kLargeBlockTag ? largeLength(block) : (std::uint64_t(tag) + 1) * 16;
}

void* poolRealloc(void* block, std::uint64_t n) {
    if (block == nullptr)
        return poolAlloc(n);
    const std::uint64_t old = poolBlockSize(block);
    if (old == n)
        return block;
    void* fresh = poolAlloc(n);
    std::memcpy(fresh, block, old < n ? old : n);
    poolFree(block);
    return fresh;
}

void releaseMemPool(CMemPool* pool) noexcept {
    void* chunk = pool->chunks;
    while (chunk != nullptr) {
        void* next;
        std::memcpy(&next, chunk, sizeof next);
        std::free(chunk);
        chunk = next;
    }
    pool->chunks = nullptr;
    std::free(pool->spareChunk.exchange(nullptr));
}

void poolAllocationFailed(std::uint64_t bytes) noexcept {
    char text[160];
    std::snprintf(text, sizeof text, "Out of memory: the system heap refused %" PRIu64 " bytes; aborting.", bytes);
    // Standard error first: the log is silent in the shipped configuration.
    const std::size_t length = std::strlen(text);
    if (::write(STDERR_FILENO, text, length) >= 0)
        (void)!::write(STDERR_FILENO, "\n", 1);
    writeLog(text, true);
    std::abort();
}

CPoolThreadCache* poolAttachThreadCache() noexcept {
    CPoolThreadCache* cache = nullptr;
    for (int i = 0; i < kCacheTableSize && cache == nullptr; ++i)
        if (!gCacheTaken[i].load(std::memory_order_relaxed) && !gCacheTaken[i].exchange(true, std::memory_order_acquire))
            cache = &gCacheTable[i];
    if (cache == nullptr) {
        cache = static_cast<CPoolThreadCache*>(std::calloc(1, sizeof(CPoolThreadCache)));
        if (cache == nullptr)
            poolAllocationFailed(sizeof(CPoolThreadCache));
    }
    *cache = CPoolThreadCache{};   // a returned entry is empty already; a fresh one is zero
    poolThreadCachePtr = cache;
    armCache(*cache);              // the entry goes back when the thread ends
    return cache;
}

void poolFlushThreadCache() noexcept {
    CPoolThreadCache& cache = poolThreadCache();
    for (unsigned tag = 0; tag < kPoolClassCount; ++tag)
        if (cache.count[tag] > 0)
            spillCache(cache, tag, cache.count[tag]);
}

void setSystemHeapFailsForTesting(bool fails) noexcept { gSystemHeapFails.store(fails, std::memory_order_relaxed); }

} // namespace tal
