// Cost of keyed change notification: CUpdateNotifier::notifyUpdate with 1 to 50 listeners under one
// key, against a plain reference (a std::mutex and a std::vector of listeners called in order), and
// attach/detach of listeners on 1 to 8 threads, each thread with notifiers of its own, against the
// same reference taking its mutex.
#include "Core/CUpdateListener.h"
#include "Core/CUpdateNotifier.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace {

class CCountingListener : public tal::CUpdateListener {
public:
    ~CCountingListener() override { detach(); }
    void update(const tal::CUpdateRecord*) override { ++count; }
    long count = 0;
};

// The reference: one lock and one array, no registry, no removal safety.
struct CPlainNotifier {
    std::mutex mutex;
    std::vector<CCountingListener*> listeners;
    void notify(const tal::CUpdateRecord* record) {
        std::lock_guard lock(mutex);
        for (CCountingListener* l : listeners) l->update(record);
    }
};

void BM_NotifyUpdate(benchmark::State& state) {
    tal::CUpdateNotifier notifier;
    std::vector<std::unique_ptr<CCountingListener>> listeners(std::size_t(state.range(0)));
    for (auto& l : listeners) {
        l = std::make_unique<CCountingListener>();
        l->setNotifier(&notifier, 7);
    }
    const tal::CUpdateRecord record{nullptr, 7};
    for (auto _ : state) notifier.notifyUpdate(&record);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_NotifyPlainReference(benchmark::State& state) {
    CPlainNotifier notifier;
    std::vector<std::unique_ptr<CCountingListener>> listeners(std::size_t(state.range(0)));
    for (auto& l : listeners) {
        l = std::make_unique<CCountingListener>();
        notifier.listeners.push_back(l.get());
    }
    const tal::CUpdateRecord record{nullptr, 7};
    for (auto _ : state) notifier.notify(&record);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_AttachDetach(benchmark::State& state) {
    static std::vector<std::unique_ptr<tal::CUpdateNotifier>> notifiers;
    if (state.thread_index() == 0) {
        notifiers.clear();
        for (int i = 0; i < state.threads(); ++i) notifiers.push_back(std::make_unique<tal::CUpdateNotifier>());
    }
    CCountingListener listener;
    std::intptr_t key = 0;
    for (auto _ : state) {
        tal::CUpdateNotifier* own = notifiers[std::size_t(state.thread_index())].get();
        listener.setNotifier(own, ++key & 3);
        listener.detach();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_AttachDetachPlainReference(benchmark::State& state) {
    static std::vector<std::unique_ptr<CPlainNotifier>> notifiers;
    if (state.thread_index() == 0) {
        notifiers.clear();
        for (int i = 0; i < state.threads(); ++i) notifiers.push_back(std::make_unique<CPlainNotifier>());
    }
    CCountingListener listener;
    for (auto _ : state) {
        CPlainNotifier& own = *notifiers[std::size_t(state.thread_index())];
        {
            std::lock_guard lock(own.mutex);
            own.listeners.push_back(&listener);
        }
        std::lock_guard lock(own.mutex);
        own.listeners.erase(std::find(own.listeners.begin(), own.listeners.end(), &listener));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_NotifyUpdate)->Arg(1)->Arg(10)->Arg(50);
BENCHMARK(BM_NotifyPlainReference)->Arg(1)->Arg(10)->Arg(50);
BENCHMARK(BM_AttachDetach)->ThreadRange(1, 8);
BENCHMARK(BM_AttachDetachPlainReference)->ThreadRange(1, 8);

} // namespace

