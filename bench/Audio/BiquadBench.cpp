// The biquad signal routines against a plain scalar transposed direct-form II cascade written
// here: stereo, 64-bit, 512-frame blocks, 1, 8 and 32 peaking sections, steady coefficients and
// a continuous morph (every block brings new coefficients, so every sample is a morph sample).
// The counter "time/sample/stage" (seconds, SI-prefixed) is per channel sample and section.

#include "Audio/Filters/BiquadRoutines.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/FilterRoutineTables.h"
#include "support/PlainBiquad.h"

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

// --- the reference: one section after the other over the block, channel by channel ---

using PlainSection = bench::PlainBiquad;

void BM_PlainCascade(benchmark::State& state) {
    const int stages = static_cast<int>(state.range(0));
    std::vector<PlainSection> left, right;
    for (const Coefficients& c : sections(stages, 1.0)) {
        left.push_back({c.b0, c.b1, c.b2, c.a1, c.a2});
        right.push_back({c.b0, c.b1, c.b2, c.a1, c.a2});
    }
    std::vector<double> in(2 * kBlock), io(2 * kBlock);
    fillNoise(in.data(), 2 * kBlock, 1);
    for (auto _ : state) {
        io = in;
        for (PlainSection& s : left)
            s.process(io.data(), kBlock);
        for (PlainSection& s : right)
            s.process(io.data() + kBlock, kBlock);
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

BENCHMARK(BM_PlainCascade)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_Routines<false, false>)->Name("BM_RoutineSingle/steady")->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_Routines<true, false>)->Name("BM_RoutinePair/steady")->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_Routines<false, true>)->Name("BM_RoutineSingle/morph")->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_Routines<true, true>)->Name("BM_RoutinePair/morph")->Arg(1)->Arg(8)->Arg(32);

} // namespace
