#include "Audio/Filters/CAudioFilterGen.h"

#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/CDCDAWFilterWorkspace.h"

#include <cmath>

namespace tal {

bool CAudioFilterGen::readFrequency(const CAudioFilterValues& values, double sampleRate, double& freq) noexcept {
    if (!values.read("freq", freq))
        return false;
    return !(2.0 * freq > sampleRate);
}

void CAudioFilterGen::finishStage(CAudioFilterStageList& stages, CDCDAWContext* context, int key,
                                  const CDCDAWRoutine* table, int tableSize, const double* num, int numCount,
                                  const double* den, int denCount) noexcept {
    for (int i = 0; i < numCount; ++i)
        if (!std::isfinite(num[i]))
            return;
    for (int i = 0; i < denCount; ++i)
        if (!std::isfinite(den[i]))
            return;
    CAudioFilterStage* stage = stages.append();
    if (stage == nullptr)
        return;
    if (context != nullptr)
        if (CDCDAWFilterWorkspace* workspace = CDCDAWFilterWorkspace::of(*context))
            stage->routines = workspace->routineSet(key, table, tableSize);
    stage->numeratorCount = numCount;
    for (int i = 0; i < numCount; ++i)
        stage->numerator[i] = num[i];
    stage->denominatorCount = denCount;
    for (int i = 0; i < denCount; ++i)
        stage->denominator[i] = den[i];
}

void CAudioFilterGen::appendBiquad(CAudioFilterStageList& stages, CDCDAWContext* context, int key,
                                   const CDCDAWRoutine* table, int tableSize, const double (&c)[6]) noexcept {
    const double a0 = c[3];
    const double num[3] = {c[0] / a0, c[1] / a0, c[2] / a0};
    const double den[2] = {c[4] / a0, c[5] / a0};
    finishStage(stages, context, key, table, tableSize, num, 3, den, 2);
}

void CAudioFilterGen::appendFirstOrder(CAudioFilterStageList& stages, CDCDAWContext* context, int key,
                                       const CDCDAWRoutine* table, int tableSize, double b0, double b1,
                                       double a1) noexcept {
    const double num[2] = {b0, b1};
    const double den[1] = {a1};
    finishStage(stages, context, key, table, tableSize, num, 2, den, 1);
}

} // namespace tal
