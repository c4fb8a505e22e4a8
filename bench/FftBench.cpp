// Forward real FFT against FFTW3 (fftw_plan_dft_r2c_1d, FFTW_MEASURE) in the same process.
// BM_RealFFT/<order>/<level> runs the framework's transform at a forced level (level -1: native),
// with a caller work buffer; BM_FFTW/<order> the reference. Compare the times per order. Orders 18
// to 20 (from 16 at levels 0/1, from 19 at level 4) run the large-order path; orders 15 to 18 below
// it the bit reversal and block transform, smaller ones the self-sorting sweep.
#include "fft/FftDispatch.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<double> noise(std::size_t n) {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x) v = dist(rng);
    return x;
}

void BM_RealFFT(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const int level = state.range(1) < 0 ? tal::fftNativeLevel() : static_cast<int>(state.range(1));
    if (!tal::setFFTDispatchLevelForTesting(level)) {
        state.SkipWithError("level not supported");
        return;
    }
    std::int32_t specSize = 0, initSize = 0, workSize = 0;
    tal::realFFTGetSize(order, tal::kFFTNoScale, 1, &specSize, &initSize, &workSize);
    std::vector<std::uint8_t> specMem(specSize), init(initSize + 1), work(workSize + 1);
    tal::RealFFTSpec* spec = nullptr;
    tal::realFFTInit(&spec, order, tal::kFFTNoScale, 1, specMem.data(), init.data());
    const std::size_t n = std::size_t{1} << order;
    const std::vector<double> x = noise(n);
    std::vector<double> y(n);
    for (auto _ : state) {
        tal::realFFTForward(x.data(), y.data(), spec, work.data());
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel("level " + std::to_string(level));
    tal::setFFTDispatchLevelForTesting(tal::fftNativeLevel());
}

void BM_FFTW(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const std::size_t n = std::size_t{1} << order;
    double* in = fftw_alloc_real(n);
    fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), in, out, FFTW_MEASURE);
    const std::vector<double> x = noise(n);
    for (std::size_t i = 0; i < n; ++i) in[i] = x[i];
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

// Registered order by order, the reference next to the framework's transform, so that a change in
// machine load hits both sides of a ratio alike.
const bool kRegistered = [] {
    for (int order = 6; order <= 20; ++order) {
        benchmark::RegisterBenchmark("FFTW", BM_FFTW)->Arg(order);
        benchmark::RegisterBenchmark("RealFFT", BM_RealFFT)->Args({order, -1});
    }
    for (int level : {0, 2, 3})
        for (int order : {6, 8, 10, 12, 14, 16, 18, 20})
            benchmark::RegisterBenchmark("RealFFT", BM_RealFFT)->Args({order, level});
    return true;
}();

}  // namespace
