// The response display's evaluation: 32 bands of 4 peaking stages each on a grid of 2000 points,
// all recomputed, and one band recomputed plus the sum of all bands (a band drag, every frame).
// The reference is a straight loop written here over precomputed cos/sin tables doing the same
// work: per point the product of the 4 stage powers, one logarithm, then the sum over the bands.
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CAudioFilterStageList.h"
#include "Audio/Filters/CAudioFilterValues.h"
#include "UI/CFilterResponse.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace tal;

constexpr int kBands = 32;
constexpr int kPoints = 2000;
constexpr double kFs = 48000.0;
constexpr double kLo = 20.0;
constexpr double kHi = 20000.0;

struct Fixture {
    Fixture() {
        CAudioFilterRBJGen::Options options;
        gen.configure(CAudioFilterRBJGen::kPeaking, options);
        for (int b = 0; b < kBands; ++b) {
            for (int s = 0; s < 4; ++s) {
                const double v[3] = {40.0 * std::pow(1.2, b) * (1.0 + 0.1 * s), 0.5 + 0.05 * b, 0.3 + 0.1 * s};
                const CAudioFilterValues values{&CAudioFilterValueMap::standard(), 3, v, nullptr};
                gen.designStage(stages[b], values, nullptr, kFs);
            }
        }
        w0 = 2.0 * 3.141592653589793 * kLo / kFs;
        logStep = std::log(kHi / kLo) / (kPoints - 1);
        for (int k = 0; k < kPoints; ++k) {
            const double w = w0 * std::exp(logStep * k);
            c1[k] = std::cos(w);
            s1[k] = std::sin(w);
            c2[k] = std::cos(2 * w);
            s2[k] = std::sin(2 * w);
        }
        for (auto& v : power)
            v.resize(kPoints);
        for (auto& v : dB)
            v.resize(kPoints);
        sum.resize(kPoints);
    }

    // The reference band: the 4 stage powers multiplied per point, one logarithm.
    void referenceBand(int b) {
        const CAudioFilterStageList& list = stages[b];
        double* p = power[b].data();
        double* d = dB[b].data();
        for (int k = 0; k < kPoints; ++k) {
            double product = 1.0;
            for (const CAudioFilterStage& s : list) {
                const double* n = s.numerator;
                const double* a = s.denominator;
                const double nr = n[0] + n[1] * c1[k] + n[2] * c2[k], ni = n[1] * s1[k] + n[2] * s2[k];
                const double dr = 1.0 + a[0] * c1[k] + a[1] * c2[k], di = a[0] * s1[k] + a[1] * s2[k];
                product *= std::max((nr * nr + ni * ni) / (dr * dr + di * di), 1e-200);
            }
            p[k] = product;
            d[k] = std::log(product) * 4.3429448190325175;
        }
    }
    void responseBand(int b) {
        response->evaluateStages(stages[b], power[b].data(), dB[b].data(), kPoints, w0, logStep);
    }
    void sumBands() {
        std::copy(dB[0].begin(), dB[0].end(), sum.begin());
        for (int b = 1; b < kBands; ++b)
            for (int k = 0; k < kPoints; ++k)
                sum[std::size_t(k)] += dB[b][std::size_t(k)];
    }

    CAudioFilterRBJGen gen;
    CAudioFilterStageList stages[kBands];
    std::unique_ptr<CFilterResponse> response{static_cast<CFilterResponse*>(CFilterResponse::create())};
    double w0 = 0, logStep = 0;
    double c1[kPoints], s1[kPoints], c2[kPoints], s2[kPoints];
    std::vector<double> power[kBands], dB[kBands];
    std::vector<double> sum;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ResponseFull(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        for (int b = 0; b < kBands; ++b)
            f.responseBand(b);
        f.sumBands();
        benchmark::DoNotOptimize(f.sum.data());
    }
}
BENCHMARK(BM_ResponseFull);

void BM_ReferenceFull(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        for (int b = 0; b < kBands; ++b)
            f.referenceBand(b);
        f.sumBands();
        benchmark::DoNotOptimize(f.sum.data());
    }
}
BENCHMARK(BM_ReferenceFull);

void BM_ResponseOneBandAndSum(benchmark::State& state) {
    Fixture& f = fixture();
    int b = 0;
    for (auto _ : state) {
        f.responseBand(b);
        f.sumBands();
        benchmark::DoNotOptimize(f.sum.data());
        b = (b + 1) % kBands;
    }
}
BENCHMARK(BM_ResponseOneBandAndSum);

void BM_ReferenceOneBandAndSum(benchmark::State& state) {
    Fixture& f = fixture();
    int b = 0;
    for (auto _ : state) {
        f.referenceBand(b);
        f.sumBands();
        benchmark::DoNotOptimize(f.sum.data());
        b = (b + 1) % kBands;
    }
}
BENCHMARK(BM_ReferenceOneBandAndSum);

} // namespace
