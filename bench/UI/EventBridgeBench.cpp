// Post to delivery through the editor's event bridge: posting threads copy a small parameter map
// each and the main thread runs the calls from a pumped main loop. Reference: the same copied maps
// through a std::mutex and std::deque queue drained by the main thread, each call run by the same
// bridge object, so that only the carrying differs.
#include "Core/CAttrMap.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "Core/CObject.h"
#include "Core/CObjectEventBridgeHandler.h"
#include "Core/CPumpedEventBridge.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "UI/CStdEventBridge.h"
#include "UI/CUIEventBridge.h"
#include "UI/ViewCreators.h"

#include <benchmark/benchmark.h>

#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace tal;

constexpr int kPostsPerThread = 2000;

int gDelivered = 0;

struct Editor {
    CPumpedMainLoopTimers loop;
    CObject* root = nullptr;
    CStdEventBridge* ui = nullptr;
    CObject* listener = nullptr;

    Editor() {
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"bench:listener", [] { return new CObject; },
                 [](CObjectScheme* scheme) {
                     CObject::initScheme(scheme);
                     CEventHandler& on = scheme->addEventHandler(CString("on"));
                     on.hasArgs = true;
                     on.withArgs = [](CObject*, CAttrMap*) -> CError* {
                         ++gDelivered;
                         return nullptr;
                     };
                 }},
                {"", nullptr, nullptr},
            };
            int failures = CCreatorRegistry::instance().registerTable(table);
            if (CCreatorRegistry::instance().find(CString("ui:ui-event-bridge")) == nullptr)
                failures += CCreatorRegistry::instance().registerTable(kViewCreatorTable);
            return failures == 0;
        }();
        (void)registered;
        CMainLoopTimers::setCurrent(&loop);
        root = new CObject;
        root->initRoot(new CEventRegistry);
        CObject* made = nullptr;
        (void)root->addChild(made, CString("ui:ui-event-bridge"), CString("ui"), false);
        ui = static_cast<CStdEventBridge*>(made);
        (void)ui->addChild(listener, CString("bench:listener"), CString("listener"), false);
        CAttrMap probe;   // enters the listener in the registry by id
        listener->postBridgedEvent(CString("bench"), CString("on"), probe);
        loop.pump();
    }
    ~Editor() {
        root->release();
        CMainLoopTimers::setCurrent(nullptr);
    }

    void fill(CAttrMap& args, int n) const {
        args.findOrAdd("listener-id")->value.setInt(listener->objectId());
        args.findOrAdd("listener-proc")->value.setText(CString("on"));
        args.findOrAdd("sender")->value.setText(CString("bench.sender"));
        args.findOrAdd("n")->value.setInt(n);
        args.findOrAdd("x")->value.setReal(n * 0.5);
    }
};

template <class Post, class Drain>
void run(benchmark::State& state, Editor& editor, Post post, Drain drain) {
    const int threads = int(state.range(0));
    const int total = threads * kPostsPerThread;
    for (auto _ : state) {
        gDelivered = 0;
        std::vector<std::thread> posters;
        for (int t = 0; t < threads; ++t)
            posters.emplace_back([&, t] {
                CAttrMap args;
                for (int i = 0; i < kPostsPerThread; ++i) {
                    editor.fill(args, t * kPostsPerThread + i);
                    post(args);
                }
            });
        while (gDelivered < total) drain();
        for (std::thread& th : posters) th.join();
    }
    state.SetItemsProcessed(state.iterations() * total);
}

void BM_UIEventBridge(benchmark::State& state) {
    Editor editor;
    CUIEventBridge& poster = editor.ui->poster();
    run(state, editor, [&](const CAttrMap& args) { (void)poster.postEvent(args); }, [&] { editor.loop.pump(); });
}

struct CQueuedMap : CAttrMap, CPoolAllocated {};

void BM_MutexDequeReference(benchmark::State& state) {
    Editor editor;
    std::mutex mutex;
    std::deque<CQueuedMap*> queue;
    run(
        state, editor,
        [&](const CAttrMap& args) {
            CQueuedMap* copy = new CQueuedMap;
            copyAttrMap(args, *copy);
            std::lock_guard lock(mutex);
            queue.push_back(copy);
        },
        [&] {
            std::deque<CQueuedMap*> batch;
            {
                std::lock_guard lock(mutex);
                batch.swap(queue);
            }
            for (CQueuedMap* args : batch) {
                if (CError* err = editor.ui->runBridgedCall(*args)) delete err;
                delete args;
            }
        });
}

} // namespace

BENCHMARK(BM_UIEventBridge)->Arg(1)->Arg(4)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MutexDequeReference)->Arg(1)->Arg(4)->UseRealTime()->Unit(benchmark::kMicrosecond);
