#include "Audio/Filters/CAudioFilterRBJGen.h"

#include "Audio/Filters/CDCDAWFilterWorkspace.h"
#include "Audio/Filters/FilterRoutineTables.h"
#include "Core/CError.h"

#include <cmath>
#include <numbers>

namespace tal {

CError* CAudioFilterRBJGen::init() {
    if (CError* err = CAudioFilterGen::init())
        return traceError(err, getFullName());
    Options options;
    options.isQ = getBoolAttr("is-q");
    options.isType2 = getBoolAttr("is-type2");
    options.isInverted = getBoolAttr("is-inverted");
    options.isGainQ = getBoolAttr("is-gain-q");
    if (!configure(getIntAttr("type"), options))
        return invalidTypeError("@talstr_CAudioFilterRBJGen_init_InvalidType Invalid filter type '%1' specified.");
    return nullptr;
}

bool CAudioFilterRBJGen::configure(int type, const Options& options) noexcept {
    if (static_cast<unsigned>(type) >= kTypeCount)
        return false;
    mType = type;
    mOptions = options;
    return true;
}

void CAudioFilterRBJGen::designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values,
                                     CDCDAWContext* context, double fs) const noexcept {
    double f = 0.0, g = 0.0, bw = 0.0;
    if (!readFrequency(values, fs, f) || !values.read("gain", g) || !values.read("bw", bw))
        return;
    const double w = 2.0 * std::numbers::pi * f / fs;
    const double sn = std::sin(w);
    const double cs = std::cos(w);
    const double A = std::sqrt(g);
    double Q = 0.0, alpha = 0.0, beta = 0.0;
    if (mOptions.isGainQ || mOptions.isQ) {
        Q = mOptions.isGainQ ? g : bw;
        alpha = sn / (2.0 * Q);
        beta = std::sqrt(A) * sn / Q;
    } else {
        Q = bw;
        const double r = mOptions.isType2 ? 1.0 : w / sn;
        alpha = sn * std::sinh(0.34657359027997264 * bw * r);   // ln 2 / 2
        beta = 2.0 * std::sqrt(A) * alpha;
    }

    double c[6] = {};      // b0 b1 b2 a0 a1 a2
    int shape = 0;         // numerator shape: 0 general, 1 low-pass, 2 high-pass, 3 band-pass, 4 notch
    switch (mType) {
        case kLowPass:
            c[0] = (1.0 - cs) / 2.0; c[1] = 1.0 - cs; c[2] = (1.0 - cs) / 2.0;
            c[3] = 1.0 + alpha; c[4] = -2.0 * cs; c[5] = 1.0 - alpha;
            shape = 1;
            break;
        case kHighPass:
            c[0] = (1.0 + cs) / 2.0; c[1] = -(1.0 + cs); c[2] = (1.0 + cs) / 2.0;
            c[3] = 1.0 + alpha; c[4] = -2.0 * cs; c[5] = 1.0 - alpha;
            shape = 2;
            break;
        case kBandPass:
            c[0] = alpha; c[1] = 0.0; c[2] = -alpha;
            c[3] = 1.0 + alpha; c[4] = -2.0 * cs; c[5] = 1.0 - alpha;
            shape = 3;
            break;
        case kBandPassPeakQ:
            c[0] = sn / 2.0; c[1] = 0.0; c[2] = -sn / 2.0;
            c[3] = 1.0 + alpha; c[4] = -2.0 * cs; c[5] = 1.0 - alpha;
            shape = 3;
            break;
        case kNotch:
            c[0] = 1.0; c[1] = -2.0 * cs; c[2] = 1.0;
            c[3] = 1.0 + alpha; c[4] = -2.0 * cs; c[5] = 1.0 - alpha;
            shape = 4;
            break;
        case kAllPass:
            c[0] = 1.0 - alpha; c[1] = -2.0 * cs; c[2] = 1.0 + alpha;
            c[3] = 1.0 + alpha; c[4] = -2.0 * cs; c[5] = 1.0 - alpha;
            break;
        case kPeaking:
            c[0] = 1.0 + alpha * A; c[1] = -2.0 * cs; c[2] = 1.0 - alpha * A;
            c[3] = 1.0 + alpha / A; c[4] = -2.0 * cs; c[5] = 1.0 - alpha / A;
            break;
        case kLowShelf:
            c[0] = A * ((A + 1.0) - (A - 1.0) * cs + beta);
            c[1] = 2.0 * A * ((A - 1.0) - (A + 1.0) * cs);
            c[2] = A * ((A + 1.0) - (A - 1.0) * cs - beta);
            c[3] = (A + 1.0) + (A - 1.0) * cs + beta;
            c[4] = -2.0 * ((A - 1.0) + (A + 1.0) * cs);
            c[5] = (A + 1.0) + (A - 1.0) * cs - beta;
            break;
        case kHighShelf:
            c[0] = A * ((A + 1.0) + (A - 1.0) * cs + beta);
            c[1] = -2.0 * A * ((A - 1.0) + (A + 1.0) * cs);
            c[2] = A * ((A + 1.0) + (A - 1.0) * cs - beta);
            c[3] = (A + 1.0) - (A - 1.0) * cs + beta;
            c[4] = 2.0 * ((A - 1.0) - (A + 1.0) * cs);
            c[5] = (A + 1.0) - (A - 1.0) * cs - beta;
            break;
        case kAllPassRadius: {
            const double ratioS = sn / Q, ratioC = cs / Q, qs = Q * sn, qc = Q * cs;
            c[0] = Q * Q; c[1] = -2.0 * Q * cs; c[2] = Q * Q * (ratioS * ratioS + ratioC * ratioC);
            c[3] = 1.0; c[4] = -2.0 * Q * cs; c[5] = qs * qs + qc * qc;
            break;
        }
        default:   // kType10
            c[0] = -cs; c[1] = 2.0; c[2] = -cs;
            c[3] = 1.0 + alpha; c[4] = -2.0 * cs; c[5] = 1.0 - alpha;
            break;
    }
    if (mOptions.isInverted && (mType == kLowPass || mType == kHighPass)) {
        c[0] = -c[0];
        c[1] = -c[1];
        c[2] = -c[2];
    }
    appendBiquad(stages, context, CDCDAWFilterWorkspace::kBiquadCommon + shape, kRBJRoutineTable, 7, c);
}

} // namespace tal
