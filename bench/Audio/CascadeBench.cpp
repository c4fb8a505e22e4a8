// The IIR filter cascade module as the equaliser runs it: one module per band and channel, bands
// in series, 48 kHz, 512-frame blocks, steady coefficients. Stereo bands run either paired (both
// channels of a band in one pass of the paired routines) or channel by channel; the reference is the
// plain scalar transposed direct-form II cascade of support/PlainStereoCascade.h over the same
// sections (both channels in one loop; mono runs the second channel on a copy and counts one). The
// counter "time/sample" is per channel sample (all bands together). The modules run here without
// their terminals, so bands of one section each run band by band; the plug-in's stacked band
// terminals chain them into one cascade (measured whole in PluginPeerBench). Mode 2 puts eight
// sections into one band, which the paired module runs as one side-by-side cascade.

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/FilterCreators.h"
#include "Audio/Processes/CAudioModuleHost.h"
#include "Audio/Processes/CAudioTerminalBinding.h"
#include "Audio/Processes/CModFilterIIRModule.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CObject.h"
#include "Core/CString.h"
#include "support/PlainStereoCascade.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace tal;

constexpr int kBlock = 512;
constexpr double kRate = 48000.0;

void fillNoise(double* x, int n, std::uint64_t seed) {
    for (int i = 0; i < n; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        x[i] = static_cast<double>(seed >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }
}

std::unique_ptr<CAudioParamStorage> store(double value) {
    auto s = std::make_unique<CAudioParamStorage>();
    s->setFormat(1, CAudioParamStorage::kTypeFloat, true, true);
    s->setGroupCount(1);
    CAudioParamChange c;
    c.count = 1;
    c.singleGroup = c.singleElement = true;
    c.values = &value;
    s->applyChange(c);
    return s;
}

// The designers and the description objects of one band definition, shared by every band.
struct Description {
    CAudioFilterMagnusGen magnus;
    CAudioFilterSerialGen peak;
    CAudioFilterSerialGen eightPeaks;   // one band of eight sections, half an octave apart
    CObject* root = nullptr;
    CObject* def = nullptr;
    Description() {
        magnus.configure(1);
        peak.addItem({&magnus, {1.0, 1.0, 0.924825}, {}});
        for (int i = 0; i < 8; ++i)
            eightPeaks.addItem({&magnus, {std::pow(2.0, 0.5 * i), i % 2 ? 0.5 : 1.0, 0.924825}, {}});
        CCreatorRegistry::instance().registerTable(kFilterCreatorTable);
        root = new CObject;
        root->initRoot(nullptr);
        CObject* filters = nullptr;
        (void)root->addChild(filters, CString("audio:fltgen-array"), CString("filters"), false);
        static_cast<CAudioFilterGenArray*>(filters)->setGen(1, &peak);
        static_cast<CAudioFilterGenArray*>(filters)->setGen(2, &eightPeaks);
        (void)root->addChild(def, CString("core:object"), CString("def"), false);
        (void)def->setAttr(CString("gen-array"), CString("^filters"), true);
    }
    ~Description() { root->release(); }
};

Description& description() {
    static Description d;
    return d;
}

// One band: its parameter stores and the host side of its terminal.
struct Band : CAudioModuleHost {
    std::unique_ptr<CAudioParamStorage> index, freq, gain, bw = store(1.0);
    CString names[4] = {CString("index"), CString("freq"), CString("gain"), CString("bw")};
    CAudioTerminalBinding bindings[4];
    CString name;

    Band(double mode, double f, double g) : index(store(mode)), freq(store(f)), gain(store(g)) {
        const CAudioParamStorage* stores[4] = {index.get(), freq.get(), gain.get(), bw.get()};
        for (int k = 0; k < 4; ++k) {
            bindings[k].key = k;
            bindings[k].store = stores[k];
            bindings[k].paramName = &names[k];
        }
    }
    const CAudioTerminalBinding* moduleBindings(int& count) const noexcept override {
        count = 4;
        return bindings;
    }
    const CString& moduleHostName() const noexcept override { return name; }
    CObject* moduleDefinition() const noexcept override { return description().def; }
    CAudioEnv* moduleEnv() const noexcept override { return nullptr; }
    CAudioChannelDesc* const* findModuleInput(int, std::int32_t, std::int32_t) noexcept override { return nullptr; }
};

struct Equaliser {
    CDCDAWContext context;
    std::vector<std::unique_ptr<Band>> bands;
    std::vector<std::vector<std::unique_ptr<CModFilterIIRModule>>> modules;   // [band][channel]
    CAudioChannelDesc inputs[2];
    CAudioChannelDesc* tables[2] = {&inputs[0], &inputs[1]};
    double* source[2] = {};

    // mode 1: one peaking section per band; mode 2: eight sections in one band.
    Equaliser(int bandCount, int channels, int mode = 1) {
        for (int b = 0; b < bandCount; ++b) {
            bands.push_back(std::make_unique<Band>(double(mode), 60.0 * std::pow(2.0, b), b % 2 ? 0.5 : 2.0));
            modules.emplace_back();
            for (int c = 0; c < channels; ++c) {
                auto m = std::make_unique<CModFilterIIRModule>();
                m->owner = bands.back().get();
                m->context = &context;
                m->blockPool = &context.blockPool();
                m->setFlagSlotCount(4);
                m->bindParams();
                m->inputTable = &tables[c];
                m->inputCount = m->outputCount = 1;
                m->sampleRate = kRate;
                m->blockLength = kBlock;
                m->init();
                m->setAllChangedBytes(1);
                m->inputsChanged = true;
                m->update();
                m->setAllChangedBytes(0);
                modules.back().push_back(std::move(m));
            }
        }
        for (int c = 0; c < channels; ++c) {
            source[c] = context.blockPool().allocBlock(8 * kBlock);
            fillNoise(source[c], kBlock, std::uint64_t(c + 1));
        }
    }
    ~Equaliser() {
        modules.clear();
        for (double* s : source)
            if (s != nullptr)
                CAudioBlockPool::releaseBlock(s);
    }
    // One block through every band, as the stacked band terminals run it.
    void runBlock(bool paired) {
        const int channels = int(modules[0].size());
        double* current[2] = {source[0], source[1]};
        for (int c = 0; c < channels; ++c)
            CAudioBlockPool::addUse(current[c]);
        for (auto& band : modules) {
            for (int c = 0; c < channels; ++c)
                inputs[c].block = current[c];
            if (paired && channels == 2 && band[0]->canPairWith(*band[1])) {
                CModFilterIIRModule::processPair(*band[0], *band[1]);
            } else {
                for (int c = 0; c < channels; ++c)
                    band[std::size_t(c)]->process();
            }
            for (int c = 0; c < channels; ++c) {
                CAudioBlockPool::releaseBlock(current[c]);
                current[c] = band[std::size_t(c)]->outputs[0].block;
            }
        }
        for (int c = 0; c < channels; ++c) {
            benchmark::DoNotOptimize(current[c]);
            CAudioBlockPool::releaseBlock(current[c]);
        }
    }
};

void setCounter(benchmark::State& state, int channels) {
    state.counters["time/sample"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBlock * channels,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <bool Paired>
void BM_Cascade(benchmark::State& state) {
    const int bands = int(state.range(0)), channels = int(state.range(1));
    Equaliser eq(bands, channels, int(state.range(2)));
    for (auto _ : state)
        eq.runBlock(Paired);
    setCounter(state, channels);
}

// The reference: the same sections, one after the other over the block, both channels in one loop.
void BM_PlainCascade(benchmark::State& state) {
    const int bands = int(state.range(0)), channels = int(state.range(1));
    Equaliser eq(bands, channels, int(state.range(2)));   // designs the same sections
    bench::PlainStereoCascade cascade;
    for (auto& band : eq.modules)
        for (const CAudioFilterStage& s : band[0]->stages())
            cascade.add(s.numerator[0], s.numerator[1], s.numerator[2], s.denominator[0], s.denominator[1]);
    std::vector<double> io(std::size_t(2 * kBlock));
    for (auto _ : state) {
        std::copy(eq.source[0], eq.source[0] + kBlock, io.data());
        std::copy(eq.source[channels - 1], eq.source[channels - 1] + kBlock, io.data() + kBlock);
        cascade.process(io.data(), io.data() + kBlock, kBlock);
        benchmark::DoNotOptimize(io.data());
    }
    setCounter(state, channels);
}

// Arguments: bands, channels, mode (1: a peaking section per band, 2: one band of eight sections).
void shapes(benchmark::internal::Benchmark* b) {
    for (int channels : {1, 2})
        for (int bands : {1, 4, 8})
            b->Args({bands, channels, 1});
    b->Args({1, 2, 2});
}

BENCHMARK(BM_PlainCascade)->Apply(shapes);
BENCHMARK(BM_Cascade<false>)->Name("BM_CascadeUnpaired")->Apply(shapes);
BENCHMARK(BM_Cascade<true>)->Name("BM_CascadePaired")->Apply(shapes);

} // namespace
