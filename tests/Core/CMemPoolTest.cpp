#include "Core/CMemPool.h"

#include "support/CLogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

using namespace tal;

namespace {

int tagOf(const void* block) { return static_cast<const unsigned char*>(block)[-1]; }

bool isAligned16(const void* p) { return (reinterpret_cast<std::uintptr_t>(p) & 15) == 0; }

int chunkCount(const CMemPool& pool) {
    int n = 0;
    for (void* c = pool.chunks; c != nullptr; c = *static_cast<void**>(c))
        ++n;
    return n;
}

int freeCount(CMemPool& pool) {
    std::vector<void*> taken;
    while (void* b = pool.freeList.pop())
        taken.push_back(b);
    for (auto it = taken.rbegin(); it != taken.rend(); ++it)
        pool.freeList.push(*it);
    return int(taken.size());
}

// A private class record, so that the refill sequence is independent of what other tests allocated.
struct PrivatePool {
    explicit PrivatePool(std::uint64_t blockSize, std::uint8_t index) { initMemPool(&pool, blockSize, index); }
    ~PrivatePool() { releaseMemPool(&pool); }
    CMemPool pool;
};

} // namespace

TEST(CMemPool, RequestSizeSelectsClassOrLargeBlock) {
    struct Case { std::uint64_t n; int tag; std::uint64_t capacity; };
    const Case cases[] = {{0, 0, 16},       {1, 0, 16},       {16, 0, 16},        {17, 1, 32},
                          {4079, 254, 4080}, {4080, 254, 4080}, {4081, 255, 4081}, {100000, 255, 100000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        void* p = poolAlloc(c.n);
        EXPECT_TRUE(isAligned16(p));
        EXPECT_EQ(tagOf(p), c.tag);
        EXPECT_EQ(poolBlockSize(p), c.capacity);
        std::memset(p, 0xAB, c.capacity);   // the whole capacity is usable (ASan checks)
        poolFree(p);
    }
}

TEST(CMemPool, InitSetsStrideAndChunkLimitBySize) {
    struct Case { std::uint64_t size; std::uint64_t stride, maxBlocks; };
    const Case cases[] = {{16, 32, 512},   {224, 240, 512},  {240, 256, 256}, {480, 496, 256},
                          {496, 512, 64},  {992, 1008, 64},  {1008, 1024, 48}, {4080, 4096, 48}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        CMemPool pool;
        initMemPool(&pool, c.size, std::uint8_t(c.size / 16 - 1));
        EXPECT_EQ(pool.stride, c.stride);
        EXPECT_EQ(pool.maxChunkBlocks, c.maxBlocks);
        EXPECT_EQ(pool.chunkBlocks, 4u);
    }
}

TEST(CMemPool, RefillGrowsChunksGeometricallyUpToTheLimit) {
    PrivatePool p(4080, 254);
    const std::uint64_t expected[] = {4, 6, 9, 14, 22, 35, 56, 56, 56};
    for (std::uint64_t blocks : expected) {
        SCOPED_TRACE(blocks);
        EXPECT_EQ(p.pool.chunkBlocks, blocks);
        void* first = poolAllocRefill(&p.pool);
        EXPECT_EQ(tagOf(first), 254);
        EXPECT_EQ(freeCount(p.pool), int(blocks - 1));
        while (p.pool.freeList.pop() != nullptr) {
        }
    }
    EXPECT_EQ(chunkCount(p.pool), 9);
}

TEST(CMemPool, FirstRefillLeavesThreeFreeBlocksAndTheFourthAllocationRefillsAgain) {
    PrivatePool p(48, 2);
    void* a = poolAllocRefill(&p.pool);
    EXPECT_EQ(chunkCount(p.pool), 1);
    EXPECT_EQ(freeCount(p.pool), 3);
    std::vector<void*> blocks{a};
    for (int i = 0; i < 3; ++i)
        blocks.push_back(p.pool.freeList.pop());
    EXPECT_EQ(chunkCount(p.pool), 1);
    // Blocks of one chunk are one stride apart, each 16-byte aligned and tagged with the class.
    for (void* b : blocks) {
        EXPECT_TRUE(isAligned16(b));
        EXPECT_EQ(tagOf(b), 2);
        EXPECT_EQ((static_cast<char*>(b) - static_cast<char*>(a)) % 64, 0);
    }
    EXPECT_EQ(p.pool.freeList.pop(), nullptr);
    poolAllocRefill(&p.pool);
    EXPECT_EQ(chunkCount(p.pool), 2);
    EXPECT_EQ(freeCount(p.pool), 5);
}

TEST(CMemPool, ReallocFollowsExactCapacityRule) {
    // Null: a plain allocation.
    void* fresh = poolRealloc(nullptr, 40);
    EXPECT_EQ(poolBlockSize(fresh), 48u);
    // Exactly the capacity: the same block.
    EXPECT_EQ(poolRealloc(fresh, 48), fresh);
    // Same class, different size: a different block with the first bytes.
    for (int i = 0; i < 48; ++i)
        static_cast<unsigned char*>(fresh)[i] = static_cast<unsigned char>(i);
    void* moved = poolRealloc(fresh, 40);
    EXPECT_NE(moved, fresh);
    EXPECT_EQ(poolBlockSize(moved), 48u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(static_cast<unsigned char*>(moved)[i], i);
    // Large: its exact length keeps it; a smaller length moves the first bytes to a new large block.
    void* large = poolRealloc(moved, 5000);
    EXPECT_EQ(tagOf(large), 255);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(static_cast<unsigned char*>(large)[i], i);
    std::memset(static_cast<char*>(large) + 40, 0x5A, 5000 - 40);
    EXPECT_EQ(poolRealloc(large, 5000), large);
    void* smaller = poolRealloc(large, 4096);
    EXPECT_EQ(tagOf(smaller), 255);
    EXPECT_EQ(poolBlockSize(smaller), 4096u);
    EXPECT_EQ(static_cast<unsigned char*>(smaller)[39], 39);
    EXPECT_EQ(static_cast<unsigned char*>(smaller)[4095], 0x5A);
    // Down into the classes.
    void* pooled = poolRealloc(smaller, 20);
    EXPECT_EQ(tagOf(pooled), 1);
    EXPECT_EQ(static_cast<unsigned char*>(pooled)[19], 19);
    poolFree(pooled);
}

// Every alignment of the system block (p - m from 10 to 25) must hand the exact malloc address back
// to free; AddressSanitizer reports any other address. Many sizes shift the alignment around.
TEST(CMemPool, LargeBlocksOfEveryAlignmentAreFreedCleanly) {
    std::vector<void*> blocks;
    for (std::uint64_t n = 4081; n < 4081 + 64; ++n) {
        void* p = largeAlloc(n);
        EXPECT_TRUE(isAligned16(p));
        EXPECT_EQ(poolBlockSize(p), n);
        blocks.push_back(p);
    }
    for (void* p : blocks)
        poolFree(p);
}

TEST(CMemPool, FreedBlockIsReusedByItsClass) {
    void* a = poolAlloc(700);
    poolFree(a);
    void* b = poolAlloc(690);   // same class (703 rounds to 704)
    EXPECT_EQ(a, b);
    poolFree(b);
}

// Blocks a thread freed into its own cache return to the class's free list when the thread ends,
// where other threads find them.
TEST(CMemPool, ConcurrentThreadEndReturnsCachedBlocks) {
    constexpr std::uint64_t kSize = 3000;   // a class no other test uses
    std::vector<void*> freed;
    std::thread worker([&] {
        for (int i = 0; i < 6; ++i)
            freed.push_back(poolAlloc(kSize));
        for (void* p : freed)
            poolFree(p);
    });
    worker.join();
    poolFlushThreadCache();
    std::vector<void*> listed;
    while (void* b = memPools[poolClassOf(kSize)].freeList.pop())
        listed.push_back(b);
    for (void* p : freed)
        EXPECT_NE(std::find(listed.begin(), listed.end(), p), listed.end());
    for (void* b : listed)
        poolFree(b);
}

TEST(CMemPool, FullThreadCacheSpillsHalfToTheFreeList) {
    constexpr std::uint64_t kSize = 2048;   // 8 cached blocks at most
    poolFlushThreadCache();
    std::vector<void*> blocks;
    for (int i = 0; i < 9; ++i)
        blocks.push_back(poolAlloc(kSize));
    std::vector<void*> before;
    CLockFreeStack& list = memPools[poolClassOf(kSize)].freeList;
    while (void* b = list.pop())
        before.push_back(b);
    for (void* b : blocks)
        poolFree(b);   // the 9th free finds the cache full and moves 4 blocks out
    std::vector<void*> spilled;
    while (void* b = list.pop())
        spilled.push_back(b);
    EXPECT_EQ(spilled.size(), 4u);
    for (void* b : spilled) {
        EXPECT_NE(std::find(blocks.begin(), blocks.end(), b), blocks.end());
        poolFree(b);
    }
    for (void* b : before)
        poolFree(b);
}

// A refill on a real-time thread takes the class's prepared spare chunk instead of the system heap
// (the spare becomes the class's newest chunk), and the next preparation off that thread gives the
// class a new spare.
TEST(CMemPool, RealtimeRefillTakesThePreparedSpareAndPreparationReplacesIt) {
    constexpr std::uint64_t kSize = 3968;   // a class the other tests leave alone
    CMemPool& pool = memPools[poolClassOf(kSize)];
    poolFree(poolAlloc(kSize));   // the class is in use
    poolPrepareSpares(true);
    void* spare = pool.spareChunk.load();
    ASSERT_NE(spare, nullptr);
    std::uint64_t spareBlocks = 0;
    std::memcpy(&spareBlocks, spare, sizeof spareBlocks);
    EXPECT_GE(spareBlocks * pool.stride, 16384u);
    std::thread audio([&] {
        std::vector<void*> held;   // empties the free list so that the next allocation refills
        while (void* b = pool.freeList.pop())
            held.push_back(b);
        void* block = nullptr;
        {
            CPoolRealtimeScope realtime;
            block = poolAllocRefill(&pool);
        }
        EXPECT_EQ(pool.spareChunk.load(), nullptr);
        EXPECT_EQ(pool.chunks, spare);
        EXPECT_EQ(tagOf(block), int(poolClassOf(kSize)));
        EXPECT_EQ(freeCount(pool), int(spareBlocks - 1));   // the spare's other blocks
        held.push_back(block);
        for (void* b : held)
            pool.freeList.push(b);
    });
    audio.join();
    EXPECT_TRUE(poolSparesWanted());
    poolPrepareSpares();
    EXPECT_NE(pool.spareChunk.load(), nullptr);
    EXPECT_NE(pool.spareChunk.load(), spare);
    EXPECT_FALSE(poolSparesWanted());
}

// A thread's cache is an entry of the allocator's table, given back when the thread ends.
TEST(CMemPool, ConcurrentThreadCachesComeFromTheTableAndGoBackAtExit) {
    const auto cacheOfNewThread = [] {
        CPoolThreadCache* cache = nullptr;
        std::thread t([&] {
            poolFree(poolAlloc(64));
            cache = poolThreadCachePtr;
        });
        t.join();
        return cache;
    };
    CPoolThreadCache* first = cacheOfNewThread();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cacheOfNewThread(), first);   // the ended thread's entry serves the next one
}

TEST(CMemPoolDeathTest, SystemHeapFailureLogsAndAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            setSystemHeapFailsForTesting(true);
            (void)largeAlloc(1 << 20);
        },
        "Out of memory: the system heap refused 1048601 bytes; aborting.");
    EXPECT_DEATH(
        {
            setSystemHeapFailsForTesting(true);
            for (int i = 0; i < 100000; ++i)   // drains the class's free blocks, then needs a chunk
                (void)poolAlloc(2000);
        },
        "Out of memory: the system heap refused [0-9]+ bytes; aborting.");
}

// Eight threads allocate blocks of random sizes (pooled and large), fill them with their own
// pattern, hand half of them to the next thread to free, and check every pattern before freeing.
// A block handed out twice shows as a damaged pattern; ThreadSanitizer checks the hand-offs.
TEST(CMemPool, ConcurrentAllocFreeAcrossThreads) {
    constexpr int kThreads = 8, kRounds = 4000;
    struct Mailbox {
        std::atomic<void*> slot{nullptr};
    };
    std::vector<Mailbox> boxes(kThreads);
    std::atomic<int> damaged{0};
    auto check = [&](void* p) {
        const unsigned char* bytes = static_cast<const unsigned char*>(p);
        std::uint64_t n;
        std::memcpy(&n, bytes, sizeof n);
        for (std::uint64_t i = 8; i < n; ++i)
            if (bytes[i] != static_cast<unsigned char>(n + i)) {
                damaged.fetch_add(1);
                break;
            }
        poolFree(p);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 rng(std::uint32_t(1234 + t));
            std::vector<void*> mine;
            for (int r = 0; r < kRounds; ++r) {
                const std::uint64_t n = 8 + rng() % (r % 50 == 0 ? 9000 : 600);
                unsigned char* p = static_cast<unsigned char*>(poolAlloc(n));
                std::memcpy(p, &n, sizeof n);
                for (std::uint64_t i = 8; i < n; ++i)
                    p[i] = static_cast<unsigned char>(n + i);
                if (rng() % 2 == 0) {
                    mine.push_back(p);
                } else if (void* previous = boxes[(t + 1) % kThreads].slot.exchange(p, std::memory_order_acq_rel)) {
                    check(previous);   // a block another thread allocated
                }
                if (mine.size() > 64) {
                    check(mine.front());
                    mine.erase(mine.begin());
                }
                if (void* incoming = boxes[t].slot.exchange(nullptr, std::memory_order_acq_rel))
                    check(incoming);
            }
            for (void* p : mine)
                check(p);
        });
    for (std::thread& th : threads)
        th.join();
    for (Mailbox& b : boxes)
        if (void* p = b.slot.exchange(nullptr))
            check(p);
    EXPECT_EQ(damaged.load(), 0);
}
