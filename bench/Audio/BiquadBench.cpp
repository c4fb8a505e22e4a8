// The biquad signal routines against the plain scalar transposed direct-form II cascade of
// support/PlainStereoCascade.h (both channels advanced in one loop): stereo, 64-bit, 512-frame
// blocks, 1, 8 and 32 peaking sections, steady coefficients and a continuous morph (every block
// brings new coefficients, so every sample is a morph sample). BM_BiquadCascade runs the sections
// side by side as the filter module does for a stereo band, at each instruction-set level (second
// argument: 0 SSE2, 1 AVX, 2 AVX-512). The counter "time/sample/stage" (seconds, SI-prefixed) is per
// channel sample and section.

#include "Audio/Filters/BiquadCascade.h"
#include "Audio/Filters/BiquadRoutines.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/FilterRoutineTables.h"
#include "fft/CCpuInfo.h"
#include "support/PlainStereoCascade.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using namespace tal;

constexpr int kBlock = 512;
constexpr double kRate = 48000.0;

struct Coefficients {
    double b0, b1, b2, a1, a2;
};

// Peaking sections spread over the audio band, with a second set for morphing.
std::vector<Coefficients> sections(int count, double gainFactor) {
    CAudioFilterRBJGen gen;
    gen.configure(CAudioFilterRBJGen::kPeaking, {});
    std::vector<Coefficients> out;
    for (int i = 0; i < count; ++i) {
        const double v[3] = {40.0 * std::pow(1.25, i % 28), (i % 2 ? 0.5 : 2.0) * gainFactor, 1.0};
        CAudioFilterStageList s;
        gen.designStage(s, CAudioFilterValues{&CAudioFilterValueMap::standard(), 3, v, nullptr}, nullptr, kRate);
        out.push_back({s[0].numerator[0], s[0].numerator[1], s[0].numerator[2], s[0].denominator[0],
                       s[0].denominator[1]});
    }
    return out;
}

void fillNoise(double* x, int n, std::uint64_t seed) {
    for (int i = 0; i < n; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        x[i] = static_cast<double>(seed >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }
}

void setCounter(benchmark::State& state, int stages) {
    state.counters["time/sample/stage"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock * 2 * stages, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// --- the reference: one section after the other over the block, both channels in one loop ---

template <bool ByFrame>
void BM_PlainCascade(benchmark::State& state) {
    const int stages = static_cast<int>(state.range(0));
    bench::PlainStereoCascade cascade;
    for (const Coefficients& c : sections(stages, 1.0))
        cascade.add(c.b0, c.b1, c.b2, c.a1, c.a2);
    std::vector<double> in(2 * kBlock), io(2 * kBlock);
    fillNoise(in.data(), 2 * kBlock, 1);
    for (auto _ : state) {
        io = in;
        if (ByFrame)
            cascade.processByFrame(io.data(), io.data() + kBlock, kBlock);
        else
            cascade.process(io.data(), io.data() + kBlock, kBlock);
        benchmark::DoNotOptimize(io.data());
    }
    setCounter(state, stages);
}

// --- the routines: one state block per section and channel, run through call frames ---

struct RoutineCascade {
    CDCDAWContext context;
    std::vector<double*> left, right;
    std::vector<Coefficients> setA, setB;
    const CDCDAWRoutine& process = kRBJRoutineTable[2];
    double* inL;
    double* inR;
    bool useA = true;

    explicit RoutineCascade(int stages) : setA(sections(stages, 1.0)), setB(sections(stages, 1.5)) {
        for (const Coefficients& c : setA) {
            left.push_back(makeStage(c));
            right.push_back(makeStage(c));
        }
        inL = context.blockPool().allocBlock(8 * kBlock);
        inR = context.blockPool().allocBlock(8 * kBlock);
        fillNoise(inL, kBlock, 1);
        fillNoise(inR, kBlock, 2);
    }
    ~RoutineCascade() {
        for (double* b : left)
            CAudioBlockPool::releaseBlock(b);
        for (double* b : right)
            CAudioBlockPool::releaseBlock(b);
        CAudioBlockPool::releaseBlock(inL);
        CAudioBlockPool::releaseBlock(inR);
    }
    double* makeStage(const Coefficients& c) {
        double* state = context.blockPool().allocBlock(sizeof(CBiquadState));
        setup(kRBJRoutineTable[0], state, c);
        return state;
    }
    void setup(const CDCDAWRoutine& routine, double* state, const Coefficients& c) {
        double* k = context.blockPool().allocBlock(40);
        k[0] = c.b0; k[1] = c.b1; k[2] = c.b2; k[3] = c.a1; k[4] = c.a2;
        context.runSetupRoutine(routine, 5, state, k, kRate);
        CAudioBlockPool::releaseBlock(k);
    }
    void updateAll() {   // new coefficients for every section of both channels
        useA = !useA;
        const std::vector<Coefficients>& set = useA ? setA : setB;
        for (std::size_t i = 0; i < set.size(); ++i) {
            setup(kRBJRoutineTable[1], left[i], set[i]);
            setup(kRBJRoutineTable[1], right[i], set[i]);
        }
    }
    // Like the filter module: each section writes a new pooled block from the previous one.
    void runBlock(bool paired) {
        double* l = inL;
        double* r = inR;
        CAudioBlockPool::addUse(l);
        CAudioBlockPool::addUse(r);
        for (std::size_t i = 0; i < left.size(); ++i) {
            double* ol = context.blockPool().allocBlock(8 * kBlock);
            double* orr = context.blockPool().allocBlock(8 * kBlock);
            if (paired) {
                context.runProcessRoutinePair(process, kBlock, ol, left[i], l, orr, right[i], r);
            } else {
                context.runProcessRoutine(process, kBlock, ol, left[i], l);
                context.runProcessRoutine(process, kBlock, orr, right[i], r);
            }
            CAudioBlockPool::releaseBlock(l);
            CAudioBlockPool::releaseBlock(r);
            l = ol;
            r = orr;
        }
        benchmark::DoNotOptimize(l);
        benchmark::DoNotOptimize(r);
        CAudioBlockPool::releaseBlock(l);
        CAudioBlockPool::releaseBlock(r);
    }
};

// The sections of both channels side by side, as the filter module runs a stereo band; with Morph
// every block brings new coefficients (every sample is a morph sample).
template <bool Morph>
void BM_BiquadCascade(benchmark::State& state) {
    const int stages = static_cast<int>(state.range(0));
    if (!setBiquadCascadeLevelForTesting(int(state.range(1)))) {
        state.SkipWithError("this processor lacks the level");
        return;
    }
    RoutineCascade cascade(stages);
    std::vector<CBiquadState*> left, right;
    for (std::size_t i = 0; i < cascade.left.size(); ++i) {
        left.push_back(reinterpret_cast<CBiquadState*>(cascade.left[i]));
        right.push_back(reinterpret_cast<CBiquadState*>(cascade.right[i]));
    }
    const std::vector<BiquadShape> shapes(std::size_t(stages), BiquadShape::Common);
    std::vector<double> out(2 * kBlock);
    for (auto _ : state) {
        if (Morph)
            cascade.updateAll();
        runBiquadCascadePair(left.data(), right.data(), shapes.data(), stages, cascade.inL, cascade.inR, out.data(),
                             out.data() + kBlock, kBlock);
        benchmark::DoNotOptimize(out.data());
    }
    setBiquadCascadeLevelForTesting(biquadCascadeLevelFor(CCpuInfo()));
    setCounter(state, stages);
}

template <bool Paired, bool Morph>
void BM_Routines(benchmark::State& state) {
    const int stages = static_cast<int>(state.range(0));
    RoutineCascade cascade(stages);
    for (auto _ : state) {
        if (Morph)
            cascade.updateAll();
        cascade.runBlock(Paired);
    }
    setCounter(state, stages);
}

BENCHMARK(BM_PlainCascade<false>)->Name("BM_PlainCascade/bySection")->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_PlainCascade<true>)->Name("BM_PlainCascade/byFrame")->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_BiquadCascade<false>)->Name("BM_BiquadCascade/steady")->ArgsProduct({{1, 8, 32}, {0, 1, 2}});
BENCHMARK(BM_BiquadCascade<true>)->Name("BM_BiquadCascade/morph")->ArgsProduct({{1, 8, 32}, {0, 1, 2}});
BENCHMARK(BM_Routines<false, false>)->Name("BM_RoutineSingle/steady")->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_Routines<true, false>)->Name("BM_RoutinePair/steady")->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_Routines<false, true>)->Name("BM_RoutineSingle/morph")->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_Routines<true, true>)->Name("BM_RoutinePair/morph")->Arg(1)->Arg(8)->Arg(32);

} // namespace
