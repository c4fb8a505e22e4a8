#include "Audio/Filters/CAudioFilterLPHP1Gen.h"

#include "Audio/Filters/CDCDAWFilterWorkspace.h"
#include "Audio/Filters/FilterRoutineTables.h"
#include "Core/CError.h"

#include <cmath>

namespace tal {

CError* CAudioFilterLPHP1Gen::init() {
    if (CError* err = CAudioFilterGen::init())
        return traceError(err, getFullName());
    if (!configure(getIntAttr("type")))
        return invalidTypeError("@talstr_CAudioFilterLPHP1Gen_init_InvalidType Invalid filter type '%1' specified.");
    return nullptr;
}

bool CAudioFilterLPHP1Gen::configure(int type) noexcept {
    if (static_cast<unsigned>(type) >= kTypeCount)
        return false;
    mType = type;
    return true;
}

void CAudioFilterLPHP1Gen::designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values,
                                       CDCDAWContext* context, double fs) const noexcept {
    double f = 0.0;
    if (!readFrequency(values, fs, f))
        return;
    const double w = 6.283185307179586 * f / fs;
    const double cs = std::cos(w);
    // The coefficient of the smoother y += k (x - y) whose gain at w is 1/sqrt 2.
    const double k = (cs - 1.0) + std::sqrt((2.0 - cs) * (2.0 - cs) - 1.0);
    switch (mType) {
        case kLowPass:
            appendFirstOrder(stages, context, CDCDAWFilterWorkspace::kFirstOrderLowPass, kFirstOrderRoutineTable, 5, k,
                             0.0, k - 1.0);
            break;
        case kHighPass:
            appendFirstOrder(stages, context, CDCDAWFilterWorkspace::kFirstOrderHighPass, kFirstOrderRoutineTable, 5,
                             1.0 - k, k - 1.0, k - 1.0);
            break;
        default: {
            const double sn = std::sin(w);
            const double re = cs * (k - 1.0) + (1.0 - k), im = sn * (k - 1.0);
            const double dr = cs * (k - 1.0) + 1.0;
            const double mag = std::sqrt((re * re + im * im) / (dr * dr + im * im));
            const double gc = 0.7079457843841379 / mag;   // -3 dB
            appendFirstOrder(stages, context, CDCDAWFilterWorkspace::kFirstOrderHighPassGain, kFirstOrderRoutineTable,
                             5, (1.0 - k) * gc, gc * (k - 1.0), k - 1.0);
            break;
        }
    }
}

} // namespace tal
