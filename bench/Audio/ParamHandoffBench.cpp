// The audio side of the parameter hand-off, once per block: take the pending list under the
// processing lock, apply every node to its parameter's audio-side storage (raising the watches),
// then free the nodes. 1 to 1000 pending changes spread over 35 parameters (the exported set),
// queued while processing is active, so nothing merges. The reference applies the same changes
// straight to plain storages without list, lock or watches: the floor of the work.
// Counter "time/change" (seconds, SI-prefixed) is per pending change.

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamWatch.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using namespace tal;

constexpr int kParams = 35;

CAudioParamChange oneValue(int group, int element, const double* value, bool format = false) {
    CAudioParamChange c;
    c.group = format ? CAudioParamChange::kFormatGroup : group;
    c.firstElement = element;
    c.count = 1;
    c.truncate = format;
    c.values = value;
    return c;
}

struct Instance {
    CSpinLock lock;
    bool processing = true;
    CAudioParamCollector collector;
    std::vector<CAudioParam*> params;
    std::vector<CAudioParamWatch*> watches;
    bool changed[kParams] = {};
    std::uint32_t masks[kParams] = {};

    Instance() {
        collector.setProcessingState(&lock, &processing);
        const std::vector<double> defaults(8, 0.0);
        for (int i = 0; i < kParams; ++i) {
            CAudioParam* p = collector.acquireParam(CString("plugin.p") + CString(i));
            CAudioParamChange fmt = oneValue(0, 0, defaults.data(), true);
            fmt.count = 8;
            p->applyChange(fmt, nullptr, {});
            const CAudioParamStorage* storage = nullptr;
            watches.push_back(p->addChangeWatch(storage, &changed[i], &masks[i], -1, -1));
            params.push_back(p);
        }
        handOff();
    }
    ~Instance() {
        for (int i = 0; i < kParams; ++i)
            params[i]->removeChangeWatch(watches[i]);
    }
    void post(int count, double base) {
        for (int i = 0; i < count; ++i) {
            const double v = base + i;
            params[i % kParams]->applyChange(oneValue(0, (i / kParams) % 8, &v), nullptr, {});
        }
    }
    int handOff() {
        CAudioParamChangeList taken;
        collector.takePending(taken);
        CAudioParamCollector::applyPendingChanges(taken);
        const int n = taken.count();
        taken.clear();
        return n;
    }
};

void BM_HandOff(benchmark::State& state) {
    const int count = int(state.range(0));
    Instance instance;
    double base = 0.0;
    for (auto _ : state) {
        instance.post(count, base);
        base += 1.0;
        const auto start = std::chrono::steady_clock::now();
        const int applied = instance.handOff();
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(applied);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["time/change"] =
        benchmark::Counter(double(state.iterations()) * count, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The same changes applied straight to storages: no nodes, no lock, no watches.
void BM_DirectStorageReference(benchmark::State& state) {
    const int count = int(state.range(0));
    std::vector<std::unique_ptr<CAudioParamStorage>> storages;
    const std::vector<double> defaults(8, 0.0);
    for (int i = 0; i < kParams; ++i) {
        storages.push_back(std::make_unique<CAudioParamStorage>());
        CAudioParamChange fmt = oneValue(0, 0, defaults.data(), true);
        fmt.count = 8;
        storages.back()->applyChange(fmt);
    }
    std::vector<double> values(count);
    double base = 0.0;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i)
            values[i] = base + i;
        base += 1.0;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i)
            storages[i % kParams]->applyChange(oneValue(0, (i / kParams) % 8, &values[i]));
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["time/change"] =
        benchmark::Counter(double(state.iterations()) * count, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_HandOff)->Arg(1)->Arg(10)->Arg(35)->Arg(100)->Arg(1000)->UseManualTime();
BENCHMARK(BM_DirectStorageReference)->Arg(1)->Arg(10)->Arg(35)->Arg(100)->Arg(1000)->UseManualTime();

BENCHMARK_MAIN();
