#include "Audio/Filters/BiquadRoutines.h"

#include "Audio/Filters/BiquadShape.h"
#include "Audio/Filters/CDCDAWCall.h"
#include "Audio/Filters/MorphLength.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace tal {

namespace {

constexpr double kMorphSeconds = 0.025;

// Two channels side by side in one SSE2 register. Every lane computes exactly what the scalar
// code computes, so the paired routines match two single calls bit for bit.
using Pair = double __attribute__((vector_size(16)));

using Shape = BiquadShape;

// The registers of one or two stage states while a loop runs.
template <class V>
struct Regs {
    V q[5], t[5];
    V w1, w2, u1, u2, h, hp, f;
};

struct SingleIO {
    const double* in;
    double* out;
    double load(int k) const { return in[k]; }
    void store(int k, double y) const { out[k] = y; }
};

struct PairIO {
    const double* in0;
    const double* in1;
    double* out0;
    double* out1;
    Pair load(int k) const { return Pair{in0[k], in1[k]}; }
    void store(int k, Pair y) const {
        out0[k] = y[0];
        out1[k] = y[1];
    }
};

void loadRegs(Regs<double>& r, const CBiquadState& s) {
    for (int j = 0; j < 5; ++j) {
        r.q[j] = s.q[j];
        r.t[j] = s.t[j];
    }
    r.w1 = s.w1; r.w2 = s.w2; r.u1 = s.u1; r.u2 = s.u2;
    r.h = s.h; r.hp = s.hp; r.f = s.f;
}

void storeRegs(const Regs<double>& r, CBiquadState& s) {
    s.w1 = r.w1; s.w2 = r.w2; s.u1 = r.u1; s.u2 = r.u2;
    s.h = r.h; s.hp = r.hp;
}

void loadRegs(Regs<Pair>& r, const CBiquadState& a, const CBiquadState& b) {
    for (int j = 0; j < 5; ++j) {
        r.q[j] = Pair{a.q[j], b.q[j]};
        r.t[j] = Pair{a.t[j], b.t[j]};
    }
    r.w1 = Pair{a.w1, b.w1}; r.w2 = Pair{a.w2, b.w2};
    r.u1 = Pair{a.u1, b.u1}; r.u2 = Pair{a.u2, b.u2};
    r.h = Pair{a.h, b.h}; r.hp = Pair{a.hp, b.hp}; r.f = Pair{a.f, b.f};
}

void storeRegs(const Regs<Pair>& r, CBiquadState& a, CBiquadState& b) {
    a.w1 = r.w1[0]; a.w2 = r.w2[0]; a.u1 = r.u1[0]; a.u2 = r.u2[0]; a.h = r.h[0]; a.hp = r.hp[0];
    b.w1 = r.w1[1]; b.w2 = r.w2[1]; b.u1 = r.u1[1]; b.u2 = r.u2[1]; b.h = r.h[1]; b.hp = r.hp[1];
}

// Samples [begin, end) without a morph.
template <Shape S, class V, class IO>
inline void runSteady(Regs<V>& r, const IO& io, int begin, int end) {
    const V q[5] = {r.q[0], r.q[1], r.q[2], r.q[3], r.q[4]};
    V w1 = r.w1, w2 = r.w2;
    for (int k = begin; k < end; ++k) {
        const V x = io.load(k);
        const V w = x + q[3] * w1 + q[4] * w2;
        const V y = numerator<S>(q, w, w1, w2);
        w2 = w1;
        w1 = w;
        io.store(k, y);
    }
    r.w1 = w1;
    r.w2 = w2;
}

// Samples [begin, end) of a running morph; the caller keeps end - begin within the morph.
template <Shape S, class V, class IO>
inline void runMorph(Regs<V>& r, const IO& io, int begin, int end) {
    const V q[5] = {r.q[0], r.q[1], r.q[2], r.q[3], r.q[4]};
    const V t[5] = {r.t[0], r.t[1], r.t[2], r.t[3], r.t[4]};
    const V f = r.f;
    V w1 = r.w1, w2 = r.w2, u1 = r.u1, u2 = r.u2, h = r.h, hp = r.hp;
    for (int k = begin; k < end; ++k) {
        const V x = io.load(k);
        const V a = 0.5 + h;
        const V b = 0.5 - h;
        V i[5];
        interpolateCoefficients<S>(q, t, a, b, i);
        io.store(k, morphSample<S>(i, q, x, a, b, w1, w2, u1, u2));
        const V hn = f * h - hp;
        hp = h;
        h = hn;
    }
    r.w1 = w1; r.w2 = w2; r.u1 = u1; r.u2 = u2; r.h = h; r.hp = hp;
}

void startMorph(CBiquadState& s) noexcept {
    const double theta = std::numbers::pi / s.n;
    s.h = 0.5;
    s.hp = 0.5 * std::sin(std::numbers::pi / 2.0 - theta);
    s.f = 2.0 * std::cos(theta);
    s.remaining = s.n;
    s.u1 = s.w1;
    s.u2 = s.w2;
}

// The main filter carries on with the targets; pending coefficients start the next morph at once.
void finishMorph(CBiquadState& s) noexcept {
    std::copy(s.t, s.t + 5, s.q);
    if (s.pending) {
        std::copy(s.p, s.p + 5, s.t);
        s.pending = 0;
        startMorph(s);
    }
}

template <Shape S>
void processSingle(CBiquadState& s, const double* in, double* out, int n) noexcept {
    Regs<double> r;
    int i = 0;
    while (i < n) {
        loadRegs(r, s);
        const SingleIO io{in, out};
        if (s.remaining <= 0) {
            runSteady<S>(r, io, i, n);
            storeRegs(r, s);
            return;
        }
        const int m = std::min(n - i, static_cast<int>(s.remaining));
        runMorph<S>(r, io, i, i + m);
        storeRegs(r, s);
        i += m;
        s.remaining -= m;
        if (s.remaining == 0)
            finishMorph(s);
    }
}

template <Shape S>
void processPair(CBiquadState& a, CBiquadState& b, const double* in0, double* out0, const double* in1,
                 double* out1, int n) noexcept {
    Regs<Pair> r;
    const PairIO io{in0, in1, out0, out1};
    int i = 0;
    while (i < n) {
        const bool morphA = a.remaining > 0;
        const bool morphB = b.remaining > 0;
        if (!morphA && !morphB) {
            loadRegs(r, a, b);
            runSteady<S>(r, io, i, n);
            storeRegs(r, a, b);
            return;
        }
        if (morphA && morphB) {
            const int m = std::min({n - i, static_cast<int>(a.remaining), static_cast<int>(b.remaining)});
            loadRegs(r, a, b);
            runMorph<S>(r, io, i, i + m);
            storeRegs(r, a, b);
            i += m;
            a.remaining -= m;
            b.remaining -= m;
            if (a.remaining == 0)
                finishMorph(a);
            if (b.remaining == 0)
                finishMorph(b);
            continue;
        }
        // One channel morphs and the other does not: run them apart until that morph ends.
        const int m = std::min(n - i, static_cast<int>(morphA ? a.remaining : b.remaining));
        processSingle<S>(a, in0 + i, out0 + i, m);
        processSingle<S>(b, in1 + i, out1 + i, m);
        i += m;
    }
}

CBiquadState& stateOf(double* block) { return *reinterpret_cast<CBiquadState*>(block); }

template <Shape S>
void processCall(CDCDAWCall& call) noexcept {
    if (call.count > 0)
        processSingle<S>(stateOf(call.blocks[1]), call.blocks[2], call.blocks[0], call.count);
}

template <Shape S>
void processPairCall(CDCDAWCall& call) noexcept {
    if (call.count > 0)
        processPair<S>(stateOf(call.blocks[1]), stateOf(call.blocks[4]), call.blocks[2], call.blocks[0],
                       call.blocks[5], call.blocks[3], call.count);
}

// b0, b1, b2, a1, a2 of a coefficient block in the state's sign convention.
void loadCoefficients(double* to, const double* block) {
    to[0] = block[0];
    to[1] = block[1];
    to[2] = block[2];
    to[3] = -block[3];
    to[4] = -block[4];
}

} // namespace

void DCDAW_fltbiqi(CDCDAWCall& call) noexcept {
    if (call.count < 5)
        return;
    CBiquadState& s = *new (call.blocks[0]) CBiquadState{};
    loadCoefficients(s.q, call.blocks[1]);
    s.n = morphLengthSamples(kMorphSeconds, call.real);
    s.remaining = 0;
    s.pending = 0;
}

void DCDAW_fltbiqu(CDCDAWCall& call) noexcept {
    if (call.count < 5)
        return;
    CBiquadState& s = stateOf(call.blocks[0]);
    if (s.remaining != 0) {
        loadCoefficients(s.p, call.blocks[1]);
        s.pending = 1;
        return;
    }
    loadCoefficients(s.t, call.blocks[1]);
    startMorph(s);
}

void finishBiquadMorphSteps(CBiquadState& state, int steps) noexcept {
    state.remaining -= steps;
    if (state.remaining == 0)
        finishMorph(state);
}

void DCDAW_fltbiqcommon(CDCDAWCall& call) noexcept { processCall<Shape::Common>(call); }
void DCDAW_fltbiqlp(CDCDAWCall& call) noexcept { processCall<Shape::LowPass>(call); }
void DCDAW_fltbiqhp(CDCDAWCall& call) noexcept { processCall<Shape::HighPass>(call); }
void DCDAW_fltbiqbp(CDCDAWCall& call) noexcept { processCall<Shape::BandPass>(call); }
void DCDAW_fltbiqnotch(CDCDAWCall& call) noexcept { processCall<Shape::Notch>(call); }
void DCDAW_fltbiqcommon_pair(CDCDAWCall& call) noexcept { processPairCall<Shape::Common>(call); }
void DCDAW_fltbiqlp_pair(CDCDAWCall& call) noexcept { processPairCall<Shape::LowPass>(call); }
void DCDAW_fltbiqhp_pair(CDCDAWCall& call) noexcept { processPairCall<Shape::HighPass>(call); }
void DCDAW_fltbiqbp_pair(CDCDAWCall& call) noexcept { processPairCall<Shape::BandPass>(call); }
void DCDAW_fltbiqnotch_pair(CDCDAWCall& call) noexcept { processPairCall<Shape::Notch>(call); }

} // namespace tal
