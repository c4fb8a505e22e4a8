// The cost of one parameter write from the editor, through the real interface client to the audio
// side's interface base and back:
// - UIParamWrite: a knob's write, CUIParam::setNormalizedValue: the bridge converts and clamps,
//   sends "change-param" (applied on the audio side under its locks, which queue "update-param"),
//   applies the change to its copy, raises "param-change" to the UI parameter and its owner, and
//   has the client fetch and run the audio side's reply.
// - BridgeWrite: the same through CParamBridge::setPlainValue, without the UI parameter.
// - BridgeWriteWithoutAudioSide: the bridge's own share: the same write on a client whose connector
//   sends nothing anywhere (no audio side, no reply).
// - Reference: the plain version of the same exchange without the binding layer: the client's
//   changeParam with a hand-built change, the connector's poll, and a listener that applies the
//   reply to a storage.
// The editor and audio trees are the test support's (tests/support); the argument is the element
// count of the group that the written element belongs to.

#include "Audio/CAudioParamStorage.h"
#include "Core/CCreatorRegistry.h"
#include "support/BindingTestTree.h"

#include <benchmark/benchmark.h>

#include <string>

namespace tal {
namespace {

// The binding test tree outside a test: set up once per benchmark run.
class BenchTree : public CBindingTestTree {
public:
    explicit BenchTree(int elements) {
        SetUp();
        std::string defaults;
        for (int i = 0; i < elements; ++i)
            defaults += i == 0 ? "0" : ",0";
        addAudioParam("plugin.eq.gain", "Output gain", 1, -30, 30, defaults.c_str());
        client = openClient("client");
        bridge = addBridge("bridge", "plugin.eq.gain", "^client");
        tick();
        owner = addOwner("knob");
        param = addUIParam(owner, "ui-param", {{"bridge", "ui.bridge"}, {"element", "0"}});
    }
    ~BenchTree() override { TearDown(); }
    void TestBody() override {}
    using CInterfaceTestTree::interfaceBase;
    using CInterfaceTestTree::tick;
    using CInterfaceTestTree::root;

    CAudioInterfaceClient* client = nullptr;
    CParamBridge* bridge = nullptr;
    CTestParamOwner* owner = nullptr;
    CUIParam* param = nullptr;
};

// A client connector that accepts every request and does nothing with it.
class NullConnector : public CRecordingClientConnector {
public:
    bool sendToBase(CByteBuffer&) override { return true; }
};

// A bridge "ui.fake-bridge" on a client "ui.fake" whose connector is a NullConnector, with the info
// of the benchmark's parameter.
CParamBridge* addFakeBridge(BenchTree& tree, const CAudioParamInfo& info) {
    static const bool registered = [] {
        static const CCreatorTableEntry table[] = {
            {"bench:null-client-connector", [] { return static_cast<CObject*>(new NullConnector); },
             &CRecordingClientConnector::initScheme},
            {"", nullptr, nullptr},
        };
        return CCreatorRegistry::instance().registerTable(table) == 0;
    }();
    (void)registered;
    CObject* ui = tree.root->findObject(CString("ui"));
    CObject* object = nullptr;
    delete CParamTestTree::build(object, ui, "bench:null-client-connector", "fake-connector", {});
    auto* connector = static_cast<NullConnector*>(object);
    delete CParamTestTree::build(object, ui, "audio:interface-client", "fake", {{"client-connector", "^fake-connector"}});
    delete CParamTestTree::build(object, ui, "ui:param-bridge", "fake-bridge",
                                 {{"interface-client", "^fake"}, {"param", "plugin.eq.gain"}});
    auto* bridge = dynamic_cast<CParamBridge*>(object);
    if (bridge != nullptr)
        connector->replyParamInfo(bridge->listenHandle(), info);
    return bridge;
}

// Applies the replies of its handle to a storage, as the bridge does with its copy.
class StoreListener : public CParamInterfaceParamListener {
public:
    CError* onParamInfo(CInputStream& in) override {
        std::int32_t hasInfo = 0;
        if (CError* error = in.read32(hasInfo))
            return error;
        return hasInfo != 0 ? CAudioParamInfo::loadNew(info, in) : nullptr;
    }
    void onParamUpdate(const CAudioParamChange& change) override { store.applyChange(change); }
    ~StoreListener() override { delete info; }

    CAudioParamInfo* info = nullptr;
    CAudioParamStorage store;
};

void setWriteCounter(benchmark::State& state) {
    state.counters["time/write"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_UIParamWrite(benchmark::State& state) {
    BenchTree tree(int(state.range(0)));
    CUIParamValue value;
    int i = 0;
    for (auto _ : state) {
        value[0] = (i++ & 1) ? 0.25 : 0.75;
        tree.param->setNormalizedValue(0, -1, value);
        tree.owner->events.clear();
    }
    if (tree.interfaceBase->paramListenerCount() < 1)
        state.SkipWithError("not listening");
    setWriteCounter(state);
}
BENCHMARK(BM_UIParamWrite)->Arg(1)->Arg(24);

void BM_BridgeWrite(benchmark::State& state) {
    BenchTree tree(int(state.range(0)));
    CUIParamValue value;
    int i = 0;
    for (auto _ : state) {
        value[0] = (i++ & 1) ? -6.0 : 6.0;
        tree.bridge->setPlainValue(0, 0, value);
        tree.owner->events.clear();
    }
    setWriteCounter(state);
}
BENCHMARK(BM_BridgeWrite)->Arg(1)->Arg(24);

void BM_BridgeWriteWithoutAudioSide(benchmark::State& state) {
    BenchTree tree(int(state.range(0)));
    CParamBridge* bridge = addFakeBridge(tree, *tree.bridge->info());
    if (bridge == nullptr || !bridge->hasInfo()) {
        state.SkipWithError("no fake bridge");
        return;
    }
    CUIParamValue value;
    int i = 0;
    for (auto _ : state) {
        value[0] = (i++ & 1) ? -6.0 : 6.0;
        bridge->setPlainValue(0, 0, value);
    }
    setWriteCounter(state);
}
BENCHMARK(BM_BridgeWriteWithoutAudioSide)->Arg(1)->Arg(24);

void BM_ReferenceClientChange(benchmark::State& state) {
    BenchTree tree(int(state.range(0)));
    StoreListener listener;
    const std::int32_t handle = tree.client->listenParam(CString("plugin.eq.gain"), &listener);
    tree.tick();
    CParamInterfaceClientConnector* connector = tree.client->clientConnector();
    double value = 0.0;
    CAudioParamChange change;
    change.group = 0;
    change.firstElement = 0;
    change.count = 1;
    change.elementSize = 1;
    change.values = &value;
    int i = 0;
    for (auto _ : state) {
        value = (i++ & 1) ? -6.0 : 6.0;
        tree.client->changeParam(handle, change, -1);
        listener.store.applyChange(change);
        CError* error = connector->pollBaseData();
        delete error;
    }
    if (listener.store.getValue(0, 0, 0) != value)
        state.SkipWithError("the reply did not arrive");
    setWriteCounter(state);
}
BENCHMARK(BM_ReferenceClientChange)->Arg(1)->Arg(24);

} // namespace
} // namespace tal
