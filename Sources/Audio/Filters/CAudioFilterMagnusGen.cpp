#include "Audio/Filters/CAudioFilterMagnusGen.h"

#include "Audio/Filters/CDCDAWFilterWorkspace.h"
#include "Audio/Filters/FilterRoutineTables.h"
#include "Core/CError.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tal {

CError* CAudioFilterMagnusGen::init() {
    if (CError* err = CAudioFilterGen::init())
        return traceError(err, getFullName());
    if (!configure(getIntAttr("type")))
        return invalidTypeError("@talstr_CAudioFilterMagnusGen_init_InvalidType Invalid filter type '%1' specified.");
    return nullptr;
}

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kPi2 = 9.869604401089358;        // pi^2
constexpr double kTwoPi2 = 19.739208802178716;    // 2 pi^2
constexpr double kPi4 = 97.40909103400243;        // pi^4

} // namespace

bool CAudioFilterMagnusGen::configure(int type) noexcept {
    if (static_cast<unsigned>(type) >= kTypeCount)
        return false;
    mType = type;
    return true;
}

void CAudioFilterMagnusGen::magnusDesignA(double G0, double wb, double GB, double w0, double G,
                                          double (&c)[6]) noexcept {
    w0 = std::min(w0, 0.49000000953674316);   // 0.49 and 0.48 in single precision
    wb = std::min(wb, 0.47999998927116394);
    const double v = (2.0 * kPi * w0) * (2.0 * kPi * w0);
    const double u = (2.0 * kPi * wb) * (2.0 * kPi * wb);
    const double G0s = G0 * G0, Gs = G * G, GBs = GB * GB;
    const double D = (Gs - G0s) * v * kTwoPi2 * u + (G0s - GBs) * kPi2 * (u * u + v * v) + (GBs - Gs) * u * (kPi4 + v * v);
    const double N = (G0s - GBs) * kPi2 * (u * u + v * v) * Gs + GBs * (Gs - G0s) * v * kTwoPi2 * u
                     + (GBs - Gs) * u * (kPi4 + v * v) * G0s;
    const double G1s = N / D;
    const double G1 = std::sqrt(G1s);
    const double t = std::tan(kPi * w0);
    const double tau = std::tan(v * 0.15915494309189535);   // 1 / (2 pi)
    const double t2 = t * t, tau2 = tau * tau;
    const double r = std::sqrt((Gs - G1s) * (Gs - G0s)) / std::fabs(Gs - G0s);
    const double W = r * t2;
    const double P = -2.0 - t2 * (G0s - G1s) / (tau2 * (Gs - G0s)) + 2.0 * r;
    const double R = t2 * G1s * P + (2.0 * G1 * (G0 - G1) - (G0s - G1s) * W / tau2) * W;
    const double sqrtR = std::sqrt(R);
    const double sqrtPt = std::sqrt(P) * std::fabs(t);
    c[0] = G0 * W + G1 + sqrtR;
    c[1] = 2.0 * (G0 * W - G1);
    c[2] = G0 * W + G1 - sqrtR;
    c[3] = 1.0 + W + sqrtPt;
    c[4] = 2.0 * (W - 1.0);
    c[5] = 1.0 + W - sqrtPt;
}

void CAudioFilterMagnusGen::magnusDesignB(double G0, double wb, double GB, double w0, double G,
                                          double (&c)[6]) noexcept {
    double x0 = std::min(2.0 * w0, 0.99);
    double xb = std::min(2.0 * wb, 0.98);
    if (std::fabs(x0 - 0.5) < 0.01) {
        x0 *= 0.99;
        xb *= 0.99;
    }
    const double G0s = G0 * G0, Gs = G * G, GBs = GB * GB;
    const double x02 = x0 * x0, xb2 = xb * xb, x04 = x02 * x02, xb4 = xb2 * xb2;
    const double P = 2.0 * x02 * xb2 * (G0s - Gs);
    const double K1 = (Gs - GBs) * xb2 * (4.0 * x04 + 0.25);
    const double K2 = Gs * (GBs - G0s) * (xb4 + x04);
    const double K3 = (Gs - GBs) * xb2 * (x04 + 1.0);
    const double D = (GBs - G0s) * (xb4 + x04) + P;
    const double W1 = (GBs * P + K2 + G0s * K1) / (D + K1);
    const double W2 = (G0s * K3 + GBs * P + K2) / (D + K3);   // squared gain at fs/2
    const double t = std::tan(1.5707963267948966 * x0);
    const double t2 = t * t, t4 = t2 * t2;
    const double s1 = std::sqrt((G0s - Gs) / (W2 - Gs));
    const double k = 1.0 / ((W1 - Gs) * (W2 - Gs));
    const double E = (G0s - W1) * (W2 - Gs) * t4 + (W2 - W1) * (G0s - Gs);
    const double F = (Gs - G0s) * 2.0 * (W2 - Gs) * t2;
    const double H = (W1 - Gs) * s1 * 2.0 * (W2 - Gs) * t2;
    const double sqrtW2 = std::sqrt(W2);
    const double q1 = std::sqrt(k * (Gs * E + W1 * F + sqrtW2 * G0 * H));
    const double q2 = std::sqrt(k * (E + F + H));
    c[0] = G0 * t2 + sqrtW2 * s1 + q1;
    c[1] = 2.0 * (G0 * t2 - sqrtW2 * s1);
    c[2] = G0 * t2 + sqrtW2 * s1 - q1;
    c[3] = t2 + s1 + q2;
    c[4] = 2.0 * (t2 - s1);
    c[5] = t2 + s1 - q2;
}

void CAudioFilterMagnusGen::magnusDesignC(double G0, double G, double GB, double w0, double dw,
                                          double (&c)[6]) noexcept {
    const double omega = 2.0 * kPi * w0;
    const double delta = 2.0 * kPi * dw;
    const double G0s = G0 * G0, Gs = G * G, GBs = GB * GB;
    const double o = (omega * omega - kPi * kPi) * (omega * omega - kPi * kPi);
    const double d2 = delta * delta;
    const double G1s = (G0s * std::fabs(Gs - GBs) * o + Gs * kPi * kPi * std::fabs(GBs - G0s) * d2)
                       / (std::fabs(Gs - GBs) * o + kPi * kPi * std::fabs(GBs - G0s) * d2);
    const double G1 = std::sqrt(G1s);
    const double rho = std::sqrt(std::fabs(Gs - G1s) / std::fabs(Gs - G0s));
    const double sigma = std::sqrt(std::fabs(GBs - G0s) / std::fabs(GBs - G1s));
    const double t = std::tan(kPi * w0);
    const double td = std::tan(kPi * dw);
    const double Cc = std::sqrt(std::fabs(GBs - G0s) * std::fabs(GBs - G1s)) - std::fabs(GBs - G0 * G1);
    const double Dc = std::fabs(Gs - G0 * G1) - std::sqrt(std::fabs(Gs - G1s) * std::fabs(Gs - G0s));
    const double W = rho * t * t;
    const double e = td * (1.0 + sigma * W);
    const double Ee = std::fabs(GBs - G1s) * (e * e);
    const double Ff = 2.0 * W * Cc + Ee;
    const double Bn = std::sqrt((Gs * Ff + GBs * Dc * 2.0 * W) / std::fabs(Gs - GBs));
    const double An = std::sqrt((Ff + 2.0 * W * Dc) / std::fabs(Gs - GBs));
    c[0] = G0 * W + G1 + Bn;
    c[1] = 2.0 * (G0 * W - G1);
    c[2] = G0 * W + G1 - Bn;
    c[3] = 1.0 + W + An;
    c[4] = 2.0 * (W - 1.0);
    c[5] = 1.0 + W - An;
}

void CAudioFilterMagnusGen::designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values,
                                        CDCDAWContext* context, double fs) const noexcept {
    double f = 0.0, g = 0.0, bw = 0.0;
    if (!readFrequency(values, fs, f) || !values.read("gain", g) || !values.read("bw", bw))
        return;
    const double w = f / fs;
    const double below = std::exp2(-bw / 2.0);
    const double above = std::exp2(bw / 2.0);
    const double wb = below * w;
    const double Gp = std::fabs(g - 1.0) < 0.001 ? 0.999 : g;
    const double rootHalf = std::sqrt(0.5);
    double c[6] = {};
    switch (mType) {
        case 0: magnusDesignA(1.0, wb, std::sqrt(Gp), w, Gp, c); break;
        case 1: magnusDesignB(1.0, wb, std::sqrt(Gp), w, Gp, c); break;
        case 2: magnusDesignC(1.0, Gp, std::sqrt(Gp), w, w * (above - below), c); break;
        case 3:
            magnusDesignA(0.0, wb, rootHalf, w, 1.0, c);
            c[0] *= g;
            c[1] *= g;
            c[2] *= g;
            break;
        case 4: magnusDesignB(0.0, wb, rootHalf, w, 1.0, c); break;
        default: {
            const double w5 = std::min(w, 0.5);
            magnusDesignC(0.0, 1.0, rootHalf, w5, std::min(above * w5, 0.5) - below * w5, c);
            break;
        }
    }
    appendBiquad(stages, context, CDCDAWFilterWorkspace::kBiquadCommon, kMagnusRoutineTable, 3, c);
}

} // namespace tal
