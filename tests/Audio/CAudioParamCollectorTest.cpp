#include "Audio/CAudioParamCollector.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamRegistry.h"

#include "Audio/CAudioEnv.h"
#include "Audio/GraphCreators.h"
#include "support/CLogCapture.h"
#include "support/ParamChangeHelpers.h"
#include "support/ParamTestTree.h"
#include "support/RegistryTestTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace tal;

namespace {

class CAudioParamCollectorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        param->applyChange(floatChange(CAudioParamChange::kFormatGroup, 0, {0, 0, 0, 0, 0, 0, 0, 0}, true),
                           nullptr, {});
        handOff();
    }
    int handOff() { return tal::handOff(collector); }
    void set(int group, int first, const std::vector<double>& v) {
        param->applyChange(floatChange(group, first, v), nullptr, {});
    }

    CSpinLock envLock;
    bool processing = false;
    CAudioParamCollector collector;
    CAudioParam* param = collector.acquireParam("plugin.eq.gain");
};

} // namespace

TEST_F(CAudioParamCollectorFixture, AcquireReturnsOneParameterPerName) {
    EXPECT_EQ(collector.acquireParam("plugin.eq.gain"), param);
    EXPECT_NE(collector.acquireParam("plugin.eq.freq"), param);
    EXPECT_EQ(collector.findParam("plugin.eq.none"), nullptr);
}

TEST_F(CAudioParamCollectorFixture, MergeRulesFollowTheProcessingState) {
    struct Case {
        const char* name;
        bool processing;
        std::vector<std::pair<int, std::vector<double>>> changes;  // first element, values (group 0)
        int nodes;
    };
    const std::vector<Case> cases = {
        {"same element, stopped", false, {{0, {1}}, {0, {2}}}, 1},
        {"same element, processing", true, {{0, {1}}, {0, {2}}}, 2},
        {"adjacent range, stopped", false, {{0, {1, 2}}, {2, {3, 4}}}, 1},
        {"gap after the node, stopped", false, {{0, {1, 2}}, {5, {3, 4}}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        collector.setProcessingState(&envLock, &processing);
        processing = c.processing;
        CAudioParam* p = collector.acquireParam(CString("plugin.case.") + CString(c.name));
        p->applyChange(floatChange(CAudioParamChange::kFormatGroup, 0, {0, 0, 0, 0, 0, 0, 0, 0}, true), nullptr, {});
        handOff();
        // Reference: the same changes applied straight to a storage.
        CAudioParamStorage expect;
        expect.assign(p->getCurrent());
        for (const auto& ch : c.changes) {
            p->applyChange(floatChange(0, ch.first, ch.second), nullptr, {});
            expect.applyChange(floatChange(0, ch.first, ch.second));
        }
        EXPECT_EQ(collector.pendingCount(), c.nodes);
        EXPECT_EQ(handOff(), c.nodes);
        EXPECT_TRUE(p->getAudioSide().equals(expect));
    }
}

TEST_F(CAudioParamCollectorFixture, QueuedListMergesOnlyWhileStopped) {
    for (bool active : {false, true}) {
        SCOPED_TRACE(active ? "processing" : "stopped");
        collector.setProcessingState(&envLock, &processing);
        processing = active;
        set(0, 0, {1});
        CAudioParamChangeList list;
        CAudioParamContext ctx;
        ctx.pending = &list;
        param->applyChange(floatChange(0, 0, {5}), nullptr, ctx);
        param->applyChange(floatChange(0, 1, {6}), nullptr, ctx);
        EXPECT_EQ(list.count(), 2);  // the context's list never merges
        collector.queueChanges(list);
        EXPECT_TRUE(list.isEmpty());
        EXPECT_EQ(collector.pendingCount(), active ? 3 : 1);
        handOff();
        EXPECT_EQ(param->getAudioSide().getValue(0, 0, 0), 5.0);
        EXPECT_EQ(param->getAudioSide().getValue(0, 1, 0), 6.0);
    }
}

TEST_F(CAudioParamCollectorFixture, DeferredCallsRunOnceWhenTheOutermostUpdateEnds) {
    struct Target : CAudioParamDeferred {
        CAudioParamCollector* collector = nullptr;
        std::vector<int> keys;
        void onDeferred(int key, double) override {
            keys.push_back(key);
            if (key == 1)
                collector->deferNotify(this, 2, 0.0);  // runs in the next pass
        }
    } target;
    target.collector = &collector;
    {
        CAudioParamLock outer(param);
        collector.beginUpdate(CAudioParamCollector::kRegistryUpdate);
        {
            CAudioParamLock inner(param, &outer);
            collector.deferNotify(&target, 1, 0.0);
        }
        collector.endUpdate(CAudioParamCollector::kRegistryUpdate);
        EXPECT_TRUE(target.keys.empty());
    }
    EXPECT_EQ(target.keys, (std::vector<int>{1, 2}));
    // The counts are back at zero: a new outermost holder runs its calls at once.
    {
        CAudioParamLock again(collector.acquireParam("plugin.other"));
        collector.deferNotify(&target, 3, 0.0);
    }
    EXPECT_EQ(target.keys, (std::vector<int>{1, 2, 3}));
}

// With a main thread set, another thread only posts: its calls wait for the main thread's next
// drain, one entry per target and key with the latest value, and a full list drops (and the drain
// logs it) instead of growing off the main thread.
TEST_F(CAudioParamCollectorFixture, ConcurrentDeferredCallsPostedOffTheMainThreadRunOnTheMainThread) {
    struct Target : CAudioParamDeferred {
        std::vector<std::pair<int, double>> calls;
        std::vector<std::thread::id> threads;
        void onDeferred(int key, double value) override {
            calls.emplace_back(key, value);
            threads.push_back(std::this_thread::get_id());
        }
    } target;
    collector.setMainThread(std::this_thread::get_id());
    const int capacity = collector.deferredCapacity();
    std::thread audio([&] {
        CAudioParamLock lock(param);   // an update that ends on this thread
        collector.deferNotify(&target, 1, 0.25);
        collector.deferNotify(&target, 2, 0.5);
        collector.deferNotify(&target, 1, 0.75);   // replaces the waiting value of key 1
    });
    audio.join();
    EXPECT_TRUE(target.calls.empty()) << "the posting thread ran the calls";
    EXPECT_EQ(collector.deferredCount(), 2);
    EXPECT_EQ(collector.runDeferredCalls(), 2);
    EXPECT_EQ(target.calls, (std::vector<std::pair<int, double>>{{1, 0.75}, {2, 0.5}}));
    for (std::thread::id id : target.threads)
        EXPECT_EQ(id, std::this_thread::get_id());

    target.calls.clear();
    std::thread flood([&] {
        for (int key = 0; key < capacity + 5; ++key)
            collector.deferNotify(&target, key, double(key));
    });
    flood.join();
    EXPECT_EQ(collector.deferredCapacity(), capacity);
    EXPECT_EQ(collector.deferredCount(), capacity);
    CLogCapture log;
    EXPECT_EQ(collector.runDeferredCalls(), capacity);
    ASSERT_EQ(int(target.calls.size()), capacity);
    EXPECT_EQ(target.calls.back().first, capacity - 1);   // the first ones posted were kept
    bool logged = false;
    for (const std::string& line : log.lines())
        logged = logged || line.find("5 deferred calls were dropped") != std::string::npos;
    EXPECT_TRUE(logged);
    // A call the main thread posts while the list is full makes room instead.
    for (int key = 0; key < capacity + 1; ++key)
        collector.deferNotify(&target, key, 0.0);
    EXPECT_GT(collector.deferredCapacity(), capacity);
    collector.cancelDeferred(&target);
    EXPECT_EQ(collector.deferredCount(), 0);
}

TEST_F(CAudioParamCollectorFixture, ConcurrentHandOffDeliversEveryChangeInOrder) {
    collector.setProcessingState(&envLock, &processing);
    processing = true;
    bool changed = false;
    std::uint32_t mask = 0;
    const CAudioParamStorage* storage = nullptr;
    CAudioParamWatch* w = param->addChangeWatch(storage, &changed, &mask, 0, 0);
    constexpr int kChanges = 5000;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int i = 1; i <= kChanges; ++i)
            param->setValue(0, nullptr, nullptr, double(i));
        done.store(true);
    });
    double last = 0.0;
    bool ordered = true;
    while (!done.load() || collector.pendingCount() > 0) {
        CAudioParamChangeList taken;
        collector.takePending(taken);
        for (CAudioParamChangeList::Node* n = taken.head(); n != nullptr; n = n->next) {
            ordered = ordered && n->change.values[0] > last;
            last = n->change.values[0];
        }
        CAudioParamCollector::applyPendingChanges(taken);
    }
    producer.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(last, double(kChanges));
    EXPECT_EQ(storage->getValue(0, 0, 0), double(kChanges));
    EXPECT_TRUE(changed);
    param->removeChangeWatch(w);
}

// A listener that needs a lock ordered before parameter locks (a registry's preset lock) defers
// its work to the end of the update; a second thread that holds that lock and changes the
// parameter then cannot deadlock with it.
TEST_F(CAudioParamCollectorFixture, ConcurrentListenerDefersWorkUnderAnOuterLock) {
    struct NameListener : CAudioParamListener, CAudioParamDeferred {
        CAudioParamCollector* collector = nullptr;
        CRecursiveMutex* presetLock = nullptr;
        std::atomic<int> runs{0};
        void onParamChange(const CAudioParamUpdateInfo&) override { collector->deferNotify(this, 0, 0.0); }
        void onDeferred(int, double) override {
            std::lock_guard<CRecursiveMutex> g(*presetLock);
            runs.fetch_add(1);
        }
    };
    CRecursiveMutex presetLock;
    NameListener listener;
    listener.collector = &collector;
    listener.presetLock = &presetLock;
    param->addListener(&listener);
    constexpr int kRounds = 2000;
    std::thread registry([&] {
        for (int i = 0; i < kRounds; ++i) {
            std::lock_guard<CRecursiveMutex> g(presetLock);  // preset lock, then parameter lock
            param->setValue(0, nullptr, nullptr, double(i));
        }
    });
    for (int i = 0; i < kRounds; ++i)
        param->setValue(0, nullptr, nullptr, -double(i));  // parameter lock, listener defers
    registry.join();
    param->removeListener(&listener);
    EXPECT_GE(listener.runs.load(), 1);
}

TEST(CAudioParamCollector, RemapChainsAreFollowedAndCyclesRefused) {
    CAudioParamCollector collector;
    CLogCapture capture;
    EXPECT_TRUE(collector.addRemap("plugin.a", "plugin.b"));
    EXPECT_TRUE(collector.addRemap("plugin.b", "plugin.c"));
    EXPECT_EQ(collector.acquireParamRemapped("plugin.a"), collector.acquireParam("plugin.c"));
    EXPECT_TRUE(collector.isParamRemapped("plugin.a"));
    EXPECT_FALSE(collector.isParamRemapped("plugin.c"));
    EXPECT_TRUE(capture.lines().empty());
    // c -> a would close a -> b -> c -> a: refused, logged, and the chain still ends.
    EXPECT_FALSE(collector.addRemap("plugin.c", "plugin.a"));
    EXPECT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(collector.acquireParamRemapped("plugin.a"), collector.acquireParam("plugin.c"));
    // A name mapped to itself is not remapped.
    EXPECT_TRUE(collector.addRemap("plugin.self", "plugin.self"));
    EXPECT_FALSE(collector.isParamRemapped("plugin.self"));
    // Uses are counted: the second removal drops the entry.
    EXPECT_TRUE(collector.addRemap("plugin.a", "plugin.b"));
    collector.removeRemap("plugin.a");
    EXPECT_TRUE(collector.isParamRemapped("plugin.a"));
    collector.removeRemap("plugin.a");
    EXPECT_FALSE(collector.isParamRemapped("plugin.a"));
}

TEST(CAudioParamCollector, InitUsesTheEnvironmentsProcessingState) {
    CParamTestTree tree;
    static const bool registered = (CCreatorRegistry::instance().registerTable(kGraphCreatorTable), true);
    (void)registered;
    CObject* plugin = CParamTestTree::plain(tree.shared(), "plugin");
    CObject* envObject = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(envObject, plugin, "audio:audio-env", "audio-env", {})), "");
    CObject* bad = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(bad, plugin, "audio:param-collector", "bad", {})).empty(), false);
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, plugin, "audio:param-collector", "param-collector",
                                                {{"env", "^audio-env"}})),
              "");
    auto* collector = dynamic_cast<CAudioParamCollector*>(object);
    auto* env = dynamic_cast<CAudioEnv*>(envObject);
    ASSERT_NE(collector, nullptr);
    ASSERT_NE(env, nullptr);
    CAudioParam* p = collector->acquireParam("plugin.x");
    p->applyChange(floatChange(CAudioParamChange::kFormatGroup, 0, {0}, true), nullptr, {});
    handOff(*collector);
    env->processing = true;  // changes are no longer merged
    p->setValue(0, nullptr, nullptr, 1.0);
    p->setValue(0, nullptr, nullptr, 2.0);
    EXPECT_EQ(collector->pendingCount(), 2);
    env->processing = false;
    p->setValue(0, nullptr, nullptr, 3.0);
    EXPECT_EQ(collector->pendingCount(), 2);
}

namespace {

// A collector object with registries below "shared::plugin", built as the description loader
// builds them (each registers itself with the collector in its initChilds).
class CAudioParamCollectorRegistries : public ::testing::Test {
protected:
    CAudioParamRegistry* registry(const char* name, const char* hierarchy, bool enumerated = false,
                                  bool isMaster = false) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.plugin(), "audio:param-registry", name,
                                                    {{"hierarchy", hierarchy},
                                                     {"id", "TEST"},
                                                     {"def-name-remap", "plugin=audio"},
                                                     {"is-enumerated", enumerated ? "true" : ""},
                                                     {"is-master", isMaster ? "true" : ""},
                                                     {"param-collector", CRegistryTestTree::kCollectorPath}})),
                  "")
            << name;
        return dynamic_cast<CAudioParamRegistry*>(object);
    }
    // "audio.modMain.<name>": a real value from 0 to 100, storable, default def.
    void definition(const char* name, const char* def) {
        CObject* modMain = tree.audio()->findChild(CString("modMain"));
        if (modMain == nullptr) modMain = CParamTestTree::plain(tree.audio(), "modMain");
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, modMain, "audio:param", name,
                                                    {{"element-size", "1"},
                                                     {"converter", "shared::audio.paramcvt.real"},
                                                     {"min-values", "0"},
                                                     {"max-values", "100"},
                                                     {"is-storable", "true"},
                                                     {"def-values", def}})),
                  "");
    }
    static std::vector<std::string> names(const std::vector<CAudioParamRegistry*>& registries) {
        std::vector<std::string> out;
        for (CAudioParamRegistry* r : registries) out.push_back(textOf(r->getFullName()));
        return out;
    }

    CRegistryTestTree tree;
    CAudioParamCollector& collector = tree.collector();
};

} // namespace

TEST_F(CAudioParamCollectorRegistries, OfferOrderIsLongestHierarchyFirstThenRegistrationOrder) {
    CAudioParamRegistry* main = registry("main", "plugin.modMain");
    CAudioParamRegistry* io = registry("io", "plugin.modMain.io-params");
    registry("same", "plugin.abcdefg");   // as long as "plugin.modMain", registered later
    EXPECT_EQ(names(collector.getRegistries()),
              (std::vector<std::string>{"plugin.io", "plugin.main", "plugin.same"}));

    EXPECT_EQ(collector.findRegistry(CString("plugin.io")), io);
    EXPECT_EQ(collector.findRegistry(CString("io")), nullptr);        // the full name, exactly
    EXPECT_EQ(collector.findRegistry(CString("plugin.mai")), nullptr);

    main->release();   // its releaseLinks unregisters it
    EXPECT_EQ(names(collector.getRegistries()), (std::vector<std::string>{"plugin.io", "plugin.same"}));
    EXPECT_EQ(collector.findRegistry(CString("plugin.main")), nullptr);
}

TEST_F(CAudioParamCollectorRegistries, ParametersAreOfferedAtBindingAndWhenCreatedAfterIt) {
    CAudioParamRegistry* main = registry("main", "plugin.modMain");
    CAudioParamRegistry* io = registry("io", "plugin.modMain.io-params");
    CAudioParam* groupNames = collector.acquireParam(CString("plugin.modMain.io-params.group-names"));
    CAudioParam* early = collector.acquireParam(CString("plugin.modMain.early"));
    EXPECT_EQ(main->findParam(CString("early")), nullptr);   // nothing is offered before binding

    collector.bindAllParams();
    EXPECT_TRUE(collector.isBound());
    // One parameter may belong to several registries.
    EXPECT_EQ(io->findParam(CString("group-names")), groupNames);
    EXPECT_EQ(main->findParam(CString("io-params.group-names")), groupNames);
    EXPECT_EQ(main->findParam(CString("early")), early);
    EXPECT_EQ(io->findParam(CString("early")), nullptr);

    CAudioParam* late = collector.acquireParam(CString("plugin.modMain.late"));
    EXPECT_EQ(main->findParam(CString("late")), late);
    EXPECT_EQ(io->findParam(CString("late")), nullptr);
}

TEST_F(CAudioParamCollectorRegistries, AnEnumeratedRegistryThatClaimsKeepsTheParameterToItself) {
    CAudioParamRegistry* main = registry("main", "plugin.modMain");
    CAudioParamRegistry* colors = registry("colors", "plugin.modMain.colors", true);
    CAudioParamRegistry* spectrum = registry("spectrum", "plugin.modMain.spectrum", true);
    collector.bindAllParams();

    CAudioParam* color = collector.acquireParam(CString("plugin.modMain.colors.palette"));
    EXPECT_EQ(colors->findParam(CString("palette")), color);
    EXPECT_EQ(main->findParam(CString("colors.palette")), nullptr);
    EXPECT_EQ(spectrum->findParam(CString("palette")), nullptr);

    // No enumerated registry claims it: every other registry is asked.
    CAudioParam* gain = collector.acquireParam(CString("plugin.modMain.gain"));
    EXPECT_EQ(main->findParam(CString("gain")), gain);
}

TEST_F(CAudioParamCollectorRegistries, BindingHappensOnceAndFinishesTheMasterRegistry) {
    definition("gain", "7");
    registry("master", "plugin.modMain", false, true);
    CAudioParam* gain = collector.acquireParam(CString("plugin.modMain.gain"));
    EXPECT_EQ(gain->getInfo(), nullptr);

    collector.bindAllParams();
    // The master's first program (empty: no factory bank) reset the parameter to its definition.
    ASSERT_NE(gain->getInfo(), nullptr);
    EXPECT_EQ(gain->getCurrent().getValue(0, 0, 0, -1.0), 7.0);

    gain->setValue(0, nullptr, nullptr, 50.0);
    collector.bindAllParams();
    EXPECT_EQ(gain->getCurrent().getValue(0, 0, 0, -1.0), 50.0);
}
