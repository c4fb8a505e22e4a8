// The cost of the process graph around its leaves: a composite chain of gain leaves run block by
// block, against the same gains applied in a plain loop, and the block in which a bypass state
// flips (the rebuild destroys or makes a child process).
#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioProcess.h"
#include "Audio/CAudioProcessConnection.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/CAudioProcessPort.h"
#include "Audio/GraphCreators.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace tal {
namespace {

constexpr int kBlock = 512;
constexpr int kChannels = 2;

// A leaf that multiplies its port-0 channels by a gain.
class CBenchGain : public CAudioProcessBase {
public:
    void update() override {
        CAudioProcessPort* p = getPort(0);
        setOutputFormat(p->format, p->channelCount, inputSampleRate());
    }
    void process() override {
        renderInputs();
        CAudioProcessPort* p = getPort(0);
        CAudioChannelDesc out[CAudioProcessPort::kMaxChannels];
        const int n = blockLength();
        for (int i = 0; i < p->channelCount; ++i) {
            out[i] = p->format[i];
            const double* __restrict in = p->channelTable[i]->block;
            double* __restrict o = blockPool()->allocBlock(8 * n);
            for (int k = 0; k < n; ++k)
                o[k] = in[k] * 0.999;
            out[i].block = o;
        }
        releaseInputs();
        distributeOutputs(out, p->channelCount, n);
    }
};

class CBenchGainDef : public CAudioProcessDefBase {
public:
    CAudioProcessBase* newProcess() override { return new CBenchGain; }
};

struct Graph {
    explicit Graph(int leaves) {
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {{"bench:gain", &createObject<CBenchGainDef>, &CObject::initScheme},
                                                       {nullptr, nullptr, nullptr}};
            CCreatorRegistry::instance().registerTable(kGraphCreatorTable);
            CCreatorRegistry::instance().registerTable(table);
            return true;
        }();
        (void)registered;
        root = new CObject;
        root->initRoot(nullptr);
        CObject* def = add(root, "audio:process-def", "main", {{"is-auto-links", "true"}});
        for (int i = 0; i < leaves; ++i)
            add(def, "bench:gain", ("g" + std::to_string(i)).c_str(),
                {{"bypass-state-id", i == leaves - 1 ? "7" : "-1"}});
        add(def, "audio:process-bypass-state", "s7", {{"id", "7"}, {"param", "bp"}, {"value", "1"}});
        finish(def);
        context.dawContext = &daw;
        context.collector = &collector;
        CError* err = dynamic_cast<CAudioProcessDefBase*>(def)->createProcess(&process, prefix, context, 0, 0,
                                                                              &daw.blockPool(), false, false);
        delete err;
        in = process->addInputConnection(0, 0);
        CAudioChannelDesc d[kChannels];
        for (int c = 0; c < kChannels; ++c)
            d[c].key = c;
        CAudioProcessBase::setConnectionFormat(in, d, kChannels, 48000.0);
        process->addOutput(&output, 0, 0);
        signal.assign(kBlock, 0.25);
    }
    ~Graph() {
        process->disconnectAll();
        delete process;
        root->release();
    }
    static CObject* add(CObject* parent, const char* tag, const char* name,
                        std::initializer_list<std::pair<const char*, const char*>> attrs) {
        CObject* out = nullptr;
        delete parent->addChild(out, CString(tag), CString(name), false);
        for (const auto& [key, value] : attrs)
            delete out->setAttr(CString(key), CString(value), false);
        delete out->init();
        if (std::string(tag) != "audio:process-def")
            finish(out);
        return out;
    }
    static void finish(CObject* object) {
        delete object->createChilds();
        delete object->initChilds();
    }
    void block() {
        CAudioBlockPool& pool = daw.blockPool();
        for (int c = 0; c < kChannels; ++c) {
            double* b = pool.allocBlock(8 * kBlock);
            std::copy(signal.begin(), signal.end(), b);
            in->storeBlock(c, b);
        }
        in->blockLength = kBlock;
        process->process();
        output.renderInputs();
        benchmark::DoNotOptimize(output.getPort(0)->channelTable[0]->block[kBlock - 1]);
        output.releaseInputs();
    }
    void setBypass(double value) {
        CAudioParamChange change;
        change.group = CAudioParamChange::kFormatGroup;
        change.count = 1;
        change.singleGroup = true;
        change.singleElement = true;
        change.values = &value;
        collector.acquireParam(CString("plugin.main.bp"))->applyAudioSide(change);
    }

    CObject* root = nullptr;
    CDCDAWContext daw;
    CAudioParamCollector collector;
    CAudioGraphContext context;
    const CString prefix{"plugin.main"};
    CAudioProcessBase* process = nullptr;
    CAudioProcessConnection* in = nullptr;
    CAudioProcessBase output;
    std::vector<double> signal;
};

void BM_CompositeChainBlock(benchmark::State& state) {
    Graph g(int(state.range(0)));
    g.block();
    for (auto _ : state)
        g.block();
    state.SetItemsProcessed(state.iterations() * kBlock * kChannels);
}
BENCHMARK(BM_CompositeChainBlock)->Arg(1)->Arg(4)->Arg(16);

// Reference: the same gains as one plain loop per leaf over buffers the caller owns.
void BM_PlainGainLoops(benchmark::State& state) {
    const int leaves = int(state.range(0));
    std::vector<double> a(kBlock * kChannels, 0.25), b(kBlock * kChannels);
    for (auto _ : state) {
        std::copy(a.begin(), a.end(), b.begin());
        for (int l = 0; l < leaves; ++l)
            for (double& x : b)
                x *= 0.999;
        benchmark::DoNotOptimize(b.back());
    }
    state.SetItemsProcessed(state.iterations() * kBlock * kChannels);
}
BENCHMARK(BM_PlainGainLoops)->Arg(1)->Arg(4)->Arg(16);

// A block in which the bypass state flips: the rebuild destroys or makes the last child.
void BM_BypassFlipBlock(benchmark::State& state) {
    Graph g(int(state.range(0)));
    g.block();
    double value = 0.0;
    for (auto _ : state) {
        value = 1.0 - value;
        g.setBypass(value);
        g.block();
    }
}
BENCHMARK(BM_BypassFlipBlock)->Arg(4)->Arg(16);

} // namespace
} // namespace tal
