#include "Audio/Filters/CAudioFilterGen.h"

#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/CDCDAWFilterWorkspace.h"
#include "Core/CError.h"

#include <cmath>

namespace tal {

CError* CAudioFilterGen::resolveDesigner(CObject& from, const CAudioFilterGen*& out) {
    out = nullptr;
    const CString& path = from.getTextAttr("fltgen");
    if (path.isEmpty())
        return newError("@talstr_CObject_findObjectByAttr_Empty Object name attribute '%1' cannot be empty at %2.",
                        from.getFullName(), CString("fltgen"), from.getFullName());
    CObject* found = from.findObject(path);
    if (found == nullptr)
        return newError("@talstr_CObject_findObjectByAttr_NotFound Name attribute '%1' refers to a non-existent "
                        "object '%2' ('%3') at %4.",
                        from.getFullName(), CString("fltgen"), path, from.resolvePath(path), from.getFullName());
    out = dynamic_cast<const CAudioFilterGen*>(found);
    if (out == nullptr)
        return newError("@talstr_CObject_findObjectByAttr_Incompatible Incompatible type of object '%1' ('%2') at %3.",
                        from.getFullName(), path, found->getFullName(), from.getFullName());
    return nullptr;
}

CError* CAudioFilterGen::invalidTypeError(CErrorSite message) {
    return newError(message, getFullName(), getTextAttr("type"));
}

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
