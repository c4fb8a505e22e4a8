// Cost of running a frame's worth of small jobs in parallel: the persistent worker pool (workers
// taken from the idle list, woken, waited for, returned) against a fresh std::thread per job.
#include "Core/CError.h"
#include "Core/CWorkerThread.h"
#include "Core/CWorkerThreadPool.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::atomic<int> gSink{0};

void smallWork() {
    int x = 0;
    for (int i = 0; i < 200; ++i)
        x += i * i;
    gSink.fetch_add(x, std::memory_order_relaxed);
}

class CSmallJob : public tal::CWorkerThread {
public:
    tal::CError* run() override {
        smallWork();
        return nullptr;
    }
};

void BM_WorkerPool(benchmark::State& state) {
    const int jobs = int(state.range(0));
    for (auto _ : state) {
        tal::CWorkerThreadPool pool;
        for (int j = 0; j < jobs; ++j)
            if (tal::CError* error = pool.addThread(new CSmallJob())) {
                state.SkipWithError("a worker could not start");
                delete error;
                return;
            }
        pool.wakeAll();
        smallWork();                                   // the caller's own share
        if (tal::CError* error = pool.waitAll(true)) {
            state.SkipWithError("a job failed");
            delete error;
            return;
        }
    }
    tal::CWorkerThreadPool::releaseIdleWorkers();
}

void BM_ThreadPerJob(benchmark::State& state) {
    const int jobs = int(state.range(0));
    std::vector<std::thread> threads;
    threads.reserve(std::size_t(jobs));
    for (auto _ : state) {
        for (int j = 0; j < jobs; ++j)
            threads.emplace_back(smallWork);
        smallWork();
        for (std::thread& t : threads)
            t.join();
        threads.clear();
    }
}

BENCHMARK(BM_WorkerPool)->Arg(1)->Arg(3)->Arg(8)->UseRealTime();
BENCHMARK(BM_ThreadPerJob)->Arg(1)->Arg(3)->Arg(8)->UseRealTime();

} // namespace
