// Cost of one ruler scale pass (CRulerScale::buildLabels) for the product's rulers: gain -12..12 and
// spectrum -36..36 on 400 px vertical rulers, frequency 20 Hz..20 kHz logarithmic on a 1000 px
// horizontal one, a line-count ruler that refines over five levels, and a very wide range whose
// fine step is skipped. The reference is the plain core of the same work written here: the values
// of the three grid passes with their positions and their printed texts (snprintf in the C locale),
// into reused buffers, without overlap checks, duplicate removal or the framework's containers.
#include "UI/Controls/CRulerScale.h"
#include "UI/Controls/RulerParsers.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <vector>

namespace {

using tal::CRulerScale;

const char* const kStepping = "0.5/1/3 1/3/6 3/6/12 6/12/24";

CRulerScale makeScale(double min, double max, double start, double end, bool isLog) {
    CRulerScale scale;
    scale.min = min;
    scale.max = max;
    scale.start = start;
    scale.end = end;
    scale.isLog = isLog;
    scale.visibleStart = std::min(start, end);
    scale.visibleEnd = std::max(start, end);
    scale.labelSize = 13;
    scale.minLabelSpacing = 13 * 1.6;
    scale.labelFormat = "%.0f";
    if (!tal::parseRulerStepping(tal::CString(kStepping), scale.steps))
        std::abort();
    return scale;
}

void runScale(benchmark::State& state, CRulerScale scale, bool isVertical) {
    for (auto _ : state) {
        scale.buildLabels(isVertical);
        benchmark::DoNotOptimize(scale.labels.data());
    }
    state.counters["labels"] = double(scale.labels.size());
    int hairlines = 0;
    for (const auto& group : scale.hairlineGroups)
        hairlines += group.count();
    state.counters["hairlines"] = hairlines;
}

void BM_BuildGain(benchmark::State& state) { runScale(state, makeScale(-12, 12, 0, 399, false), true); }
void BM_BuildSpectrum(benchmark::State& state) { runScale(state, makeScale(-36, 36, 0, 399, false), true); }
void BM_BuildFrequency(benchmark::State& state) { runScale(state, makeScale(20, 20000, 999, 0, true), false); }
void BM_BuildLineCountFiveLevels(benchmark::State& state) {
    // 17 lines over 1600 px with the top 100 px visible: 2, 1, 2, 4 and 8 lines per level.
    CRulerScale scale = makeScale(0, 1, 0, 1600, false);
    scale.lineCount = 17;
    scale.visibleStart = 0;
    scale.visibleEnd = 100;
    runScale(state, scale, true);
}
void BM_BuildWideRange(benchmark::State& state) {
    CRulerScale scale = makeScale(-1e7, 1e7, 0, 399, false);
    if (!tal::parseRulerStepping(tal::CString("1/2/5 10/20/50 1000/10000/100000"), scale.steps))
        std::abort();
    runScale(state, scale, true);
}

// The plain core of a linear pass set: every multiple of each of the three steps between the ends
// and its position, and the printed text of the middle and large steps' values (the minor pass has
// no labels).
struct PlainTick {
    double position;
    char text[24];
};

void plainLinear(double min, double max, double start, double end, const double (&steps)[3],
                 std::vector<PlainTick>& out) {
    out.clear();
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const locale_t previous = uselocale(cLocale);
    const double h = end - start;
    for (int pass = 0; pass < 3; ++pass) {
        const double s = steps[pass];
        for (double k = std::floor(max / s); k * s > min; k -= 1.0) {
            const double v = k * s;
            PlainTick t;
            t.position = start + h * (1.0 - (v - min) / (max - min));
            t.text[0] = 0;
            if (pass > 0)
                std::snprintf(t.text, sizeof t.text, "%.0f", v);
            out.push_back(t);
        }
    }
    uselocale(previous);
}

void plainLog(double min, double max, double start, double end, std::vector<PlainTick>& out) {
    out.clear();
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const locale_t previous = uselocale(cLocale);
    const double range = std::log(max / min);
    for (double decade = 1; decade < max; decade *= 10)
        for (int n = 1; n <= 9; ++n) {
            const double v = n * decade;
            if (v <= min || v >= max)
                continue;
            PlainTick t;
            t.position = end + (start - end) * std::log(v / min) / range;
            if (v > 999.9)
                std::snprintf(t.text, sizeof t.text, "%.0fk", v * 0.001);
            else
                std::snprintf(t.text, sizeof t.text, "%.0f", v);
            out.push_back(t);
        }
    uselocale(previous);
}

void BM_PlainGain(benchmark::State& state) {
    std::vector<PlainTick> out;
    out.reserve(64);
    // The item the scale picks for 399 px over 24 units (16.6 px per unit): 1/3/6.
    for (auto _ : state) {
        plainLinear(-12, 12, 0, 399, {1, 3, 6}, out);
        benchmark::DoNotOptimize(out.data());
    }
}
void BM_PlainSpectrum(benchmark::State& state) {
    std::vector<PlainTick> out;
    out.reserve(64);
    for (auto _ : state) {
        // 5.5 px per unit: 3/6/12.
        plainLinear(-36, 36, 0, 399, {3, 6, 12}, out);
        benchmark::DoNotOptimize(out.data());
    }
}
void BM_PlainFrequency(benchmark::State& state) {
    std::vector<PlainTick> out;
    out.reserve(64);
    for (auto _ : state) {
        plainLog(20, 20000, 999, 0, out);
        benchmark::DoNotOptimize(out.data());
    }
}

} // namespace

BENCHMARK(BM_BuildGain);
BENCHMARK(BM_PlainGain);
BENCHMARK(BM_BuildSpectrum);
BENCHMARK(BM_PlainSpectrum);
BENCHMARK(BM_BuildFrequency);
BENCHMARK(BM_PlainFrequency);
BENCHMARK(BM_BuildLineCountFiveLevels);
BENCHMARK(BM_BuildWideRange);
