#pragma once

#include "Audio/Filters/CAudioFilterStageList.h"
#include "Audio/Filters/CAudioFilterValues.h"
#include "Core/CError.h"
#include "Core/CObject.h"

namespace tal {

class CDCDAWContext;
struct CDCDAWRoutine;

// A filter designer: turns named values (frequency, gain, bandwidth) at a sample rate into zero or
// more normalised first- or second-order stages. Designers are configured once when the shared
// description loads and are read-only afterwards; one designer serves every instance's audio
// thread (with that instance's context) and the editor's response workers (without a context)
// at the same time. Designers are objects of the shared description: they read their attributes in
// init (or are configured directly by code) and never change afterwards.
class CAudioFilterGen : public CObject {
public:
    CAudioFilterGen() = default;

    // --- design: any thread ---
    // Appends the stages of one design to `stages` (never removes any). With a context each stage
    // gets the routine set of its kind from the context's filter workspace; without one its
    // routine set is null. A design whose frequency is missing or above half the sample rate, or
    // whose coefficients are not all finite, yields no stage.
    virtual void designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values, CDCDAWContext* context,
                             double sampleRate) const noexcept = 0;

    // Resolves the attribute "fltgen" of `from` as a designer (serial and array items).
    [[nodiscard]] static CError* resolveDesigner(CObject& from, const CAudioFilterGen*& out);

protected:
    // The error of an unknown "type" attribute (the trace line names the caller's file and line).
    [[nodiscard]] CError* invalidTypeError(CErrorSite message);

    // Reads "freq"; false when it is missing or 2 freq > sample rate (a NaN passes here and is
    // caught by the finiteness check of the append helpers).
    static bool readFrequency(const CAudioFilterValues& values, double sampleRate, double& freq) noexcept;
    // Appends b0 b1 b2 / a0 a1 a2 normalised by a0 with the routine set of `key` from `table`;
    // appends nothing when a normalised coefficient is not finite.
    static void appendBiquad(CAudioFilterStageList& stages, CDCDAWContext* context, int key, const CDCDAWRoutine* table,
                             int tableSize, const double (&c)[6]) noexcept;
    // Appends b0 b1 / 1 a1; nothing when a coefficient is not finite.
    static void appendFirstOrder(CAudioFilterStageList& stages, CDCDAWContext* context, int key,
                                 const CDCDAWRoutine* table, int tableSize, double b0, double b1, double a1) noexcept;

private:
    static void finishStage(CAudioFilterStageList& stages, CDCDAWContext* context, int key, const CDCDAWRoutine* table,
                            int tableSize, const double* num, int numCount, const double* den, int denCount) noexcept;
};

} // namespace tal
