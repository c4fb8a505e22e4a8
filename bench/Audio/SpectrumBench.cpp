// The spectrum analyser per host block (512 samples, 48 kHz): its whole cost per block, against a
// reference in the same process that does only the unavoidable work of the same analyses (window
// multiply, forward FFT, magnitudes) on a plain buffer.
#include "Audio/CAudioBlockPool.h"
#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CFFTPlanCache.h"
#include "Audio/Viz/CFFTAnalyser.h"
#include "Audio/Viz/CFFTFrameSink.h"
#include "Audio/Viz/SpectrumWindow.h"
#include "fft/FftDispatch.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using namespace tal;

constexpr int kBlock = 512;
constexpr double kRate = 48000.0;

struct DiscardingSink : CFFTFrameSink {
    void postSpectrum(CAudioVizDataSpectrum* frame, bool) override { delete frame; }
};

std::vector<double> noise(int n) {
    std::vector<double> x(static_cast<std::size_t>(n));
    std::uint32_t s = 12345;
    for (double& v : x) {
        s = s * 1664525u + 1013904223u;
        v = double(s >> 8) / double(1u << 24) - 0.5;
    }
    return x;
}

// Arguments: block-size value (order - 6), overlap in percent, averaging type.
void BM_SpectrumPerBlock(benchmark::State& state) {
    initFFTCPUDispatch();
    CFFTAnalyser::CSettings s;
    s.blockSize = double(state.range(0));
    s.overlap = double(state.range(1)) / 100.0;
    s.type = double(state.range(2));
    CAudioBlockPool pool;
    DiscardingSink sink;
    const std::vector<double> input = noise(kBlock * 64);
    {
        CFFTAnalyser analyser;
        analyser.setup(&pool, &sink, 0, 0);
        analyser.update(s, CFFTAnalyser::kChangedAll, true, kRate, 30.0, 0.0);
        std::size_t at = 0;
        for (auto _ : state) {
            analyser.process(input.data() + at, kBlock, 30.0);
            at = (at + kBlock) % input.size();
        }
        state.counters["hop"] = analyser.hop();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_SpectrumPerBlock)
    ->ArgNames({"size", "overlap%", "type"})
    ->Args({5, 50, 0})
    ->Args({5, 95, 0})
    ->Args({5, 50, 4})
    ->Args({10, 50, 0})
    ->Args({10, 95, 0});

// The reference: per host block, the same number of analyses as the analyser makes on average
// (block / hop), each a window multiply, one FFT and the magnitudes, with no ring or averaging.
void BM_ReferenceWindowFFTPerBlock(benchmark::State& state) {
    initFFTCPUDispatch();
    const int order = int(state.range(0)) + 6;
    const int n = 1 << order;
    const int hop = std::max(1, int(std::floor(n * (1.0 - double(state.range(1)) / 100.0))));
    CFFTPlan* plan = acquireFFTPlan(order);
    std::vector<double> window(static_cast<std::size_t>(n)), buffer(static_cast<std::size_t>(n)), mags(static_cast<std::size_t>(n / 2 + 1));
    buildSpectrumWindow(0, window.data(), n);
    const std::vector<double> input = noise(n);
    double owed = 0.0;   // fractional analyses carried between blocks
    for (auto _ : state) {
        owed += double(kBlock) / double(hop);
        while (owed >= 1.0) {
            owed -= 1.0;
            for (int m = 0; m < n; ++m) buffer[std::size_t(m)] = window[std::size_t(m)] * input[std::size_t(m)];
            realFFTForward(buffer.data(), buffer.data(), plan->spec, plan->workMemory);
            mags[0] = std::fabs(buffer[0]);
            mags[std::size_t(n / 2)] = std::fabs(buffer[1]);
            for (int k = 1; k < n / 2; ++k)
                mags[std::size_t(k)] = std::sqrt(buffer[std::size_t(2 * k)] * buffer[std::size_t(2 * k)] +
                                                 buffer[std::size_t(2 * k + 1)] * buffer[std::size_t(2 * k + 1)]);
            benchmark::DoNotOptimize(mags.data());
        }
    }
    releaseFFTPlan(plan);
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_ReferenceWindowFFTPerBlock)
    ->ArgNames({"size", "overlap%"})
    ->Args({5, 50})
    ->Args({5, 95})
    ->Args({10, 50})
    ->Args({10, 95});

} // namespace
