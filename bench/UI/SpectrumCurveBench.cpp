// The spectrum display's binning: one curve of display points from one channel of FFT 4096 or
// 32768 (2049 or 16385 bins) for 1000 or 2500 columns over 20 Hz .. 20 kHz, with smoothing off,
// 1/3 octave and 1/48 octave. The reference, written here, does the same job the plainest fast
// way: a box mean over each smoothing window from a prefix sum of the bins (O(1) per grid point,
// where the curve takes a Hann-weighted mean over every bin of the window), one logarithm per
// grid point, then the highest grid value per column with tilt and pixel mapping.
#include "Audio/Viz/CAudioVizDataBins.h"
#include "UI/CSpectrumCurve.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace tal;

constexpr double kRate = 48000.0;
constexpr double kLow = 20.0;
constexpr double kHigh = 20000.0;

std::vector<double> noiseBins(int fft) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> level(1e-5, 1.0);
    std::vector<double> bins(std::size_t(fft / 2 + 1));
    for (std::size_t k = 0; k < bins.size(); ++k)
        bins[k] = level(random) / (1.0 + double(k) * 0.01);   // falling like music
    return bins;
}

void setUp(CSpectrumCurve& curve, int fft, int width, int smoothing) {
    const std::vector<double> bins = noiseBins(fft);
    auto frame = std::make_unique<CAudioVizDataSpectrum>();
    frame->values.assign(bins.data(), std::int32_t(bins.size()));
    frame->sampleRate = kRate;
    frame->fftSize = fft;
    curve.setSlotCount(1);
    curve.setSpectrum(0, *frame);
    curve.slope = 4.5;
    curve.smoothingIndex = smoothing;
    curve.freqLow = kLow;
    curve.freqHigh = kHigh;
    curve.width = width;
    curve.levelLow = -120.0;
    curve.levelHigh = 0.0;
    curve.top = 0.0;
    curve.bottom = 400.0;
}

void BM_SpectrumCurve(benchmark::State& state) {
    CSpectrumCurve curve;
    setUp(curve, int(state.range(0)), int(state.range(1)), int(state.range(2)));
    for (auto _ : state) {
        curve.buildPoints();
        benchmark::DoNotOptimize(curve.points().data());
    }
}

// The reference: prefix-sum box smoothing on the same grid, or plain per-column peaks without it.
void BM_PrefixSumReference(benchmark::State& state) {
    const int fft = int(state.range(0)), width = int(state.range(1)), index = int(state.range(2));
    const std::vector<double> bins = noiseBins(fft);
    const int n = int(bins.size());
    const double octaves = std::log2(kHigh / kLow);
    const double ratio = std::exp(std::log(kHigh / kLow) / (width - 1));
    const auto sizeOf = [](int count) { return static_cast<std::size_t>(count); };
    std::vector<double> prefix(sizeOf(n + 1)), db(sizeOf(n)), grid, tilt(sizeOf(width)), y(sizeOf(width));
    for (int i = 0; i < width; ++i)
        tilt[std::size_t(i)] = 4.5 * (std::log2(kLow / 1000.0) + i * std::log2(ratio));
    const double width8 = index > 0 ? CSpectrumCurve::smoothingOf(index).octaves : 0.0;
    const double factor = index > 0 ? CSpectrumCurve::smoothingOf(index).factor : 1.0;
    for (auto _ : state) {
        const double* source;
        int count;
        double h, firstPos, step;
        if (index > 0) {
            prefix[0] = 0.0;
            for (int k = 0; k < n; ++k)
                prefix[std::size_t(k) + 1] = prefix[std::size_t(k)] + bins[std::size_t(k)];
            const int K = int(std::ceil(16.0 * octaves / std::sqrt(width8) + 1.0));
            const double perOctave = (K - 1) / octaves;
            grid.resize(std::size_t(K));
            for (int j = 0; j < K; ++j) {
                const double g = kLow * std::exp2(j / perOctave) * 2.0 * n / kRate;
                const double m = g * std::exp2(-1.5 * width8);
                const int a = std::min(int(std::ceil(m)), n - 1);
                const int b = std::clamp(int(g + factor * (g - m)), a, n - 1);
                grid[std::size_t(j)] = 20.0 * std::log10((prefix[std::size_t(b) + 1] - prefix[std::size_t(a)]) /
                                                             (b - a + 1) + 1e-15);
            }
            source = grid.data();
            count = K;
            h = double(K - 1) / (width - 1);
            firstPos = 0.0;
            step = h;
        } else {
            for (int k = 0; k < n; ++k)
                db[std::size_t(k)] = 20.0 * std::log10(bins[std::size_t(k)] + 1e-15);
            source = db.data();
            count = n;
            h = 0.0;
            firstPos = kLow * 2.0 * n / kRate;
            step = ratio;
        }
        const double half = index > 0 ? 0.5 * h : 0.0;
        const double spread = std::sqrt(ratio);
        double position = firstPos;
        for (int i = 0; i < width; ++i) {
            const double start = index > 0 ? position - half : position / spread;
            const double end = index > 0 ? position + half : position * spread;
            const int a = std::clamp(int(start + 0.5), 0, count - 1);
            const int b = std::max(std::min(int(end + 0.5), count), a + 1);
            double v = source[a];
            for (int k = a + 1; k < b; ++k)
                v = std::max(v, source[k]);
            y[std::size_t(i)] = 400.0 - (v + tilt[std::size_t(i)] + 120.0) / 120.0 * 400.0;
            position = index > 0 ? position + step : position * step;
        }
        benchmark::DoNotOptimize(y.data());
    }
}

void curveArgs(benchmark::internal::Benchmark* b) {
    for (int fft : {4096, 32768})
        for (int width : {1000, 2500})
            for (int smoothing : {0, 4, 15})
                b->Args({fft, width, smoothing});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_SpectrumCurve)->Apply(curveArgs);
BENCHMARK(BM_PrefixSumReference)->Apply(curveArgs);

} // namespace
