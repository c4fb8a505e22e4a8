// The plug-in wrapper's block loop over a pass-through graph (a gain terminal at unity hands its
// input blocks on by reference): host input conversion with the anti-denormal noise, the change
// hand-over, the graph run and host output conversion, per host sample. The reference is the
// plain conversion the loop cannot avoid: host samples widened to 64-bit blocks and narrowed back.
#include "Audio/CAudioWrapper.h"
#include "Audio/Processes/ProcessCreators.h"
#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CResourceMap.h"
#include "ProductCreators.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

extern const tal::CResourceEntry wrapperBenchResources[];

namespace {

using namespace tal;

class CBenchWrapper : public CAudioWrapper {
public:
    void setHostParamValue(int, double) override {}
    void notifyProgramChange() override {}
    void beginHostEdit(std::int32_t) override {}
    void endHostEdit(std::int32_t) override {}
    void processParamEvent(const CAudioWrapperEvent&) override {}
};

bool startApplicationOnce() {
    static const bool started = [] {
        static std::vector<const CCreatorTableEntry*> tables;
        for (const CCreatorTableEntry* const* t = productCreatorTables(); *t != nullptr; ++t)
            tables.push_back(*t);
        tables.push_back(kProcessCreatorTable);
        tables.push_back(nullptr);
        installProcessFactories();
        CApplicationSetup setup;
        setup.creatorTables = tables.data();
        setup.resources = wrapperBenchResources;
        setup.sharedDataName = "SharedData.xml";
        CError* err = CApplication::startApplication(setup);
        const bool ok = err == nullptr;
        delete err;
        return ok;
    }();
    return started;
}

template <class T>
struct HostBuffers {
    HostBuffers(int channels, int frames) : data(std::size_t(2 * channels), std::vector<T>(std::size_t(frames))) {
        for (int c = 0; c < channels; ++c) {
            for (int i = 0; i < frames; ++i)
                data[std::size_t(c)][std::size_t(i)] = T(0.25 * std::sin(0.001 * i * (c + 1)));
            ins.push_back(data[std::size_t(c)].data());
            outs.push_back(data[std::size_t(channels + c)].data());
        }
    }
    std::vector<std::vector<T>> data;
    std::vector<void*> ins, outs;
};

// Arguments: channels, frames per block.
template <class T>
void BM_WrapperLoop(benchmark::State& state) {
    if (!startApplicationOnce()) {
        state.SkipWithError("the test description does not load");
        return;
    }
    const int channels = int(state.range(0)), frames = int(state.range(1));
    CBenchWrapper w;
    if (CError* err = w.init()) {
        delete err;
        state.SkipWithError("the wrapper does not initialise");
        return;
    }
    w.activate();
    w.setSampleRate(48000.0);
    w.setHostSampleFormat(sizeof(T) == 8);
    w.setHostChannelCounts(channels, 0, channels);
    w.applyFormatChange();
    w.startProcessing();
    HostBuffers<T> buffers(channels, frames);
    for (auto _ : state) {
        w.process(buffers.ins.data(), buffers.outs.data(), frames);
        benchmark::ClobberMemory();
    }
    w.stopProcessing();
    state.SetItemsProcessed(state.iterations() * frames * channels);
}

// The lower bound: each host channel widened into a 64-bit block and narrowed back.
template <class T>
void BM_PlainConversion(benchmark::State& state) {
    const int channels = int(state.range(0)), frames = int(state.range(1));
    HostBuffers<T> buffers(channels, frames);
    std::vector<double> block(static_cast<std::size_t>(frames));
    for (auto _ : state) {
        for (int c = 0; c < channels; ++c) {
            const T* in = static_cast<const T*>(buffers.ins[std::size_t(c)]);
            T* out = static_cast<T*>(buffers.outs[std::size_t(c)]);
            for (int i = 0; i < frames; ++i)
                block[std::size_t(i)] = double(in[i]);
            for (int i = 0; i < frames; ++i)
                out[i] = T(block[std::size_t(i)]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames * channels);
}

void loopArgs(benchmark::internal::Benchmark* b) {
    for (int channels : {2, 8})
        for (int frames : {32, 512, 4096})
            b->Args({channels, frames});
}

BENCHMARK_TEMPLATE(BM_WrapperLoop, float)->Apply(loopArgs);
BENCHMARK_TEMPLATE(BM_WrapperLoop, double)->Apply(loopArgs);
BENCHMARK_TEMPLATE(BM_PlainConversion, float)->Apply(loopArgs);
BENCHMARK_TEMPLATE(BM_PlainConversion, double)->Apply(loopArgs);

} // namespace
