#include "Audio/Filters/VectorRoutines.h"

#include "Audio/Filters/CDCDAWCall.h"

#include <cmath>

namespace tal {

namespace {

bool overlaps(const double* out, const double* in, int n) noexcept {
    return in != nullptr && in < out + n && out < in + n;
}

// out[i] = f(out[i], a[i], b[i], c[i], d[i]) over the first `inputs` inputs. Blocks that do not
// overlap the output take a loop the compiler may run on packed registers; either loop computes
// each element with the same operations.
template <int Inputs, class F>
void elementWise(CDCDAWCall& call, F f) noexcept {
    const int n = call.count;
    if (n <= 0)
        return;
    double* out = call.blocks[0];
    const double* in[4] = {call.blocks[1], call.blocks[2], call.blocks[3], call.blocks[4]};
    bool apart = true;
    for (int j = 0; j < Inputs; ++j)
        apart = apart && !overlaps(out, in[j], n);
    auto run = [&](double* __restrict o, const double* __restrict a, const double* __restrict b,
                   const double* __restrict c, const double* __restrict d) {
        for (int i = 0; i < n; ++i)
            o[i] = f(o[i], Inputs > 0 ? a[i] : 0.0, Inputs > 1 ? b[i] : 0.0, Inputs > 2 ? c[i] : 0.0,
                     Inputs > 3 ? d[i] : 0.0);
    };
    if (apart) {
        run(out, in[0], in[1], in[2], in[3]);
        return;
    }
    for (int i = 0; i < n; ++i)
        out[i] = f(out[i], Inputs > 0 ? in[0][i] : 0.0, Inputs > 1 ? in[1][i] : 0.0, Inputs > 2 ? in[2][i] : 0.0,
                   Inputs > 3 ? in[3][i] : 0.0);
}

double larger(double x, double y) noexcept { return x > y ? x : y; }
double smaller(double x, double y) noexcept { return x < y ? x : y; }

} // namespace

void DCDAW_vcopy(CDCDAWCall& c) noexcept { elementWise<1>(c, [](double, double a, double, double, double) { return a; }); }

void DCDAW_vaddk(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<1>(c, [k](double, double a, double, double, double) { return a + k; });
}

void DCDAW_vaddfirst(CDCDAWCall& c) noexcept {
    if (c.count <= 0)
        return;
    const double first = c.blocks[1][0];   // read once: the output may be this block
    elementWise<0>(c, [first](double o, double, double, double, double) { return o + first; });
}

void DCDAW_vadd2(CDCDAWCall& c) noexcept { elementWise<2>(c, [](double, double a, double b, double, double) { return a + b; }); }
void DCDAW_vacc(CDCDAWCall& c) noexcept { elementWise<1>(c, [](double o, double a, double, double, double) { return o + a; }); }

void DCDAW_vadd3(CDCDAWCall& c) noexcept {
    elementWise<3>(c, [](double, double a, double b, double cc, double) { return a + b + cc; });
}

void DCDAW_vadd4(CDCDAWCall& c) noexcept {
    elementWise<4>(c, [](double, double a, double b, double cc, double d) { return a + b + cc + d; });
}

void DCDAW_vmuladdk(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<2>(c, [k](double, double a, double b, double, double) { return a * k + b; });
}

void DCDAW_vaccmulk(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<1>(c, [k](double o, double a, double, double, double) { return o + a * k; });
}

void DCDAW_vsub(CDCDAWCall& c) noexcept { elementWise<2>(c, [](double, double a, double b, double, double) { return a - b; }); }

void DCDAW_vmax2(CDCDAWCall& c) noexcept {
    elementWise<2>(c, [](double, double a, double b, double, double) { return larger(a, b); });
}

void DCDAW_vmaxacc(CDCDAWCall& c) noexcept {
    elementWise<1>(c, [](double o, double a, double, double, double) { return a > o ? a : o; });
}

void DCDAW_vmax3(CDCDAWCall& c) noexcept {
    elementWise<3>(c, [](double, double a, double b, double cc, double) { return larger(larger(a, b), cc); });
}

void DCDAW_vmax4(CDCDAWCall& c) noexcept {
    elementWise<4>(c, [](double, double a, double b, double cc, double d) { return larger(larger(a, b), larger(cc, d)); });
}

void DCDAW_vmin2(CDCDAWCall& c) noexcept {
    elementWise<2>(c, [](double, double a, double b, double, double) { return smaller(a, b); });
}

void DCDAW_vmin3(CDCDAWCall& c) noexcept {
    elementWise<3>(c, [](double, double a, double b, double cc, double) { return smaller(smaller(a, b), cc); });
}

void DCDAW_vmin4(CDCDAWCall& c) noexcept {
    elementWise<4>(c, [](double, double a, double b, double cc, double d) { return smaller(smaller(a, b), smaller(cc, d)); });
}

void DCDAW_vxfadek(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<2>(c, [k](double, double a, double b, double, double) { return (a - b) * k + b; });
}

void DCDAW_vmix2(CDCDAWCall& c) noexcept {
    if (c.count <= 0)
        return;
    const double ga = c.blocks[3][0], gb = c.blocks[3][1];   // read once: the output may be c
    elementWise<2>(c, [ga, gb](double, double a, double b, double, double) { return a * ga + b * gb; });
}

void DCDAW_vxfade(CDCDAWCall& c) noexcept {
    elementWise<3>(c, [](double, double a, double b, double cc, double) { return (a - b) * cc + b; });
}

void DCDAW_vxfadescale(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<3>(c, [k](double, double a, double b, double cc, double) { return ((a - b) * cc + b) * k; });
}

void DCDAW_vadd2scale(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<2>(c, [k](double, double a, double b, double, double) { return (a + b) * k; });
}

void DCDAW_vadd3scale(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<3>(c, [k](double, double a, double b, double cc, double) { return (a + b + cc) * k; });
}

void DCDAW_vscale(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<1>(c, [k](double, double a, double, double, double) { return a * k; });
}

void DCDAW_vscaleacc(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<0>(c, [k](double o, double, double, double, double) { return o * k; });
}

void DCDAW_vmul(CDCDAWCall& c) noexcept { elementWise<2>(c, [](double, double a, double b, double, double) { return a * b; }); }
void DCDAW_vmulacc(CDCDAWCall& c) noexcept { elementWise<1>(c, [](double o, double a, double, double, double) { return o * a; }); }

void DCDAW_vmac(CDCDAWCall& c) noexcept {
    elementWise<2>(c, [](double o, double a, double b, double, double) { return o + a * b; });
}

void DCDAW_vdiv(CDCDAWCall& c) noexcept { elementWise<2>(c, [](double, double a, double b, double, double) { return a / b; }); }
void DCDAW_vabs(CDCDAWCall& c) noexcept { elementWise<1>(c, [](double, double a, double, double, double) { return std::fabs(a); }); }
void DCDAW_vsqrt(CDCDAWCall& c) noexcept { elementWise<1>(c, [](double, double a, double, double, double) { return std::sqrt(a); }); }
void DCDAW_vzero(CDCDAWCall& c) noexcept { elementWise<0>(c, [](double, double, double, double, double) { return 0.0; }); }

void DCDAW_vfillk(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<0>(c, [k](double, double, double, double, double) { return k; });
}

void DCDAW_vfillfirst(CDCDAWCall& c) noexcept {
    if (c.count <= 0)
        return;
    const double first = c.blocks[1][0];
    elementWise<0>(c, [first](double, double, double, double, double) { return first; });
}

void DCDAW_vclip(CDCDAWCall& c) noexcept {
    const double k = c.real;
    elementWise<1>(c, [k](double, double a, double, double, double) {
        if (a > k || std::isnan(a))
            return k;
        return a < -k ? -k : a;
    });
}

} // namespace tal
