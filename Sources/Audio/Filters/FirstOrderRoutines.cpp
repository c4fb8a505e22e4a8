#include "Audio/Filters/FirstOrderRoutines.h"

#include "Audio/Filters/CDCDAWCall.h"
#include "Audio/Filters/MorphLength.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace tal {

namespace {

constexpr double kGlideSeconds = 0.015;

enum class Output { LowPass, HighPass, HighPassGain };

CFirstOrderState& stateOf(double* block) { return *reinterpret_cast<CFirstOrderState*>(block); }

void startGlide(CFirstOrderState& s) noexcept {
    const double theta = std::numbers::pi / s.n;
    s.h = 0.5;
    s.hp = 0.5 * std::sin(std::numbers::pi / 2.0 - theta);
    s.f = 2.0 * std::cos(theta);
    s.remaining = s.n;
}

template <Output O>
void process(CFirstOrderState& st, const double* in, double* out, int n) noexcept {
    int i = 0;
    while (i < n) {
        double s = st.s;
        if (st.remaining <= 0) {
            const double k = st.k, g = st.g;
            for (; i < n; ++i) {
                const double x = in[i];
                s = (x - s) * k + s;
                if constexpr (O == Output::LowPass)
                    out[i] = s;
                else if constexpr (O == Output::HighPass)
                    out[i] = x - s;
                else
                    out[i] = g * (x - s);
            }
            st.s = s;
            return;
        }
        const int end = i + std::min(n - i, static_cast<int>(st.remaining));
        const double k = st.k, g = st.g, tk = st.tk, tg = st.tg, f = st.f;
        double h = st.h, hp = st.hp;
        for (int j = i; j < end; ++j) {
            const double x = in[j];
            const double a = 0.5 + h;
            const double b = 0.5 - h;
            s = (a * k + b * tk) * (x - s) + s;
            if constexpr (O == Output::LowPass)
                out[j] = s;
            else if constexpr (O == Output::HighPass)
                out[j] = x - s;
            else
                out[j] = (a * g + b * tg) * (x - s);
            const double hn = f * h - hp;
            hp = h;
            h = hn;
        }
        st.s = s;
        st.h = h;
        st.hp = hp;
        st.remaining -= end - i;
        i = end;
        if (st.remaining == 0) {
            st.k = st.tk;
            if constexpr (O == Output::HighPassGain)
                st.g = st.tg;
            if (st.pending) {
                st.tk = st.pk;
                st.tg = st.pg;
                st.pending = 0;
                startGlide(st);
            }
        }
    }
}

template <Output O>
void processCall(CDCDAWCall& call) noexcept {
    if (call.count > 0)
        process<O>(stateOf(call.blocks[1]), call.blocks[2], call.blocks[0], call.count);
}

} // namespace

void DCDAW_fltlphp1i(CDCDAWCall& call) noexcept {
    if (call.count < 3)
        return;
    const double* c = call.blocks[1];
    CFirstOrderState& s = *new (call.blocks[0]) CFirstOrderState{};
    s.k = c[2] + 1.0;
    s.g = c[1] / c[2];
    s.n = morphLengthSamples(kGlideSeconds, call.real);
}

void DCDAW_fltlphp1u(CDCDAWCall& call) noexcept {
    if (call.count < 3)
        return;
    const double* c = call.blocks[1];
    CFirstOrderState& s = stateOf(call.blocks[0]);
    if (s.remaining != 0) {
        s.pending = 1;
        s.pk = c[2] + 1.0;
        s.pg = c[1] / c[2];
        return;
    }
    s.tk = c[2] + 1.0;
    s.tg = c[1] / c[2];
    startGlide(s);
}

void DCDAW_fltlp1(CDCDAWCall& call) noexcept { processCall<Output::LowPass>(call); }
void DCDAW_flthp1(CDCDAWCall& call) noexcept { processCall<Output::HighPass>(call); }
void DCDAW_flthp1g(CDCDAWCall& call) noexcept { processCall<Output::HighPassGain>(call); }

} // namespace tal
