// The size-class allocator against glibc malloc/free: one thread allocating and freeing, a batch of
// mixed sizes, and blocks allocated on one thread and freed on another.
#include "Core/CMemPool.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <random>
#include <vector>

using namespace tal;

namespace {

struct Pool {
    static void* alloc(std::size_t n) { return poolAlloc(n); }
    static void release(void* p) { poolFree(p); }
};
struct System {
    static void* alloc(std::size_t n) { return std::malloc(n); }
    static void release(void* p) { std::free(p); }
};

template <class A>
void AllocFreeFixed(benchmark::State& state) {
    const std::size_t n = std::size_t(state.range(0));
    for (auto _ : state) {
        void* p = A::alloc(n);
        benchmark::DoNotOptimize(p);
        A::release(p);
    }
    state.SetItemsProcessed(state.iterations());
}

// 256 live blocks of random sizes from 16 to 1024 bytes, freed in a shuffled order.
template <class A>
void AllocFreeMixedBatch(benchmark::State& state) {
    std::mt19937 rng(7);
    std::vector<std::size_t> sizes(256);
    std::vector<int> order(256);
    for (int i = 0; i < 256; ++i) {
        sizes[std::size_t(i)] = 16 + rng() % 1009;
        order[std::size_t(i)] = i;
    }
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<void*> blocks(256);
    for (auto _ : state) {
        for (int i = 0; i < 256; ++i)
            blocks[std::size_t(i)] = A::alloc(sizes[std::size_t(i)]);
        benchmark::ClobberMemory();
        for (int i : order)
            A::release(blocks[std::size_t(i)]);
    }
    state.SetItemsProcessed(state.iterations() * 256);
}

// Thread 0 allocates and passes each block through a single-producer single-consumer ring to
// thread 1, which frees it: every block is freed by another thread than the one that made it.
constexpr std::size_t kRing = 1024;
struct Ring {
    alignas(64) std::atomic<std::size_t> head{0};
    alignas(64) std::atomic<std::size_t> tail{0};
    std::array<void*, kRing> slots{};
};
Ring gRing;

template <class A>
void CrossThreadFree(benchmark::State& state) {
    const std::size_t n = std::size_t(state.range(0));
    if (state.thread_index() == 0) {
        for (auto _ : state) {
            const std::size_t t = gRing.tail.load(std::memory_order_relaxed);
            while (t - gRing.head.load(std::memory_order_acquire) == kRing) {
            }
            gRing.slots[t % kRing] = A::alloc(n);
            gRing.tail.store(t + 1, std::memory_order_release);
        }
    } else {
        for (auto _ : state) {
            const std::size_t h = gRing.head.load(std::memory_order_relaxed);
            while (gRing.tail.load(std::memory_order_acquire) == h) {
            }
            A::release(gRing.slots[h % kRing]);
            gRing.head.store(h + 1, std::memory_order_release);
        }
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(AllocFreeFixed<Pool>)->Arg(64)->Arg(1000)->Arg(8192);
BENCHMARK(AllocFreeFixed<System>)->Arg(64)->Arg(1000)->Arg(8192);
BENCHMARK(AllocFreeMixedBatch<Pool>);
BENCHMARK(AllocFreeMixedBatch<System>);
BENCHMARK(CrossThreadFree<Pool>)->Arg(64)->Arg(1000)->Threads(2)->Iterations(2000000)->UseRealTime();
BENCHMARK(CrossThreadFree<System>)->Arg(64)->Arg(1000)->Threads(2)->Iterations(2000000)->UseRealTime();
