#pragma once
#include "Core/CObject.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// A bypass state of a composite process definition ("audio:process-bypass-state"): a condition on
// one parameter ("param" near "value", or inside "range") and optionally a second one ("and-param"
// near "and-value", or inside "and-range"), inverted by "is-inverted". Children and links that name
// the state's "id" are switched off while it is active. Read-only after init.
class CAudioProcessBypassStateDef : public CObject {
public:
    // A range of values in steps: "[low;high]" or "[low;high;step]", "(" and ")" for exclusive
    // bounds, "*" for an unbounded side; the step is 0.01 when not given. Bounds are kept in steps.
    struct CRange {
        bool valid = false;
        std::int32_t low = 0;
        bool lowUnbounded = false;
        bool lowInclusive = false;
        std::int32_t high = 0;
        bool highUnbounded = false;
        bool highInclusive = false;
        double step = 0.0;

        // Whether x lies in the range, with x / step taken to the nearest step (halves away from
        // zero). Not a number lies in no range.
        bool contains(double x) const noexcept;
    };

    CAudioProcessBypassStateDef() = default;

    // --- life cycle: while the description loads ---
    [[nodiscard]] CError* init() override;

    // --- queries ---
    std::int32_t id() const noexcept { return mId; }
    const CString& param() const noexcept { return mParam; }
    const CString& andParam() const noexcept { return mAndParam; }
    bool hasAndParam() const noexcept { return !mAndParam.isEmpty(); }
    double value() const noexcept { return mValue; }
    double andValue() const noexcept { return mAndValue; }
    const CRange& range() const noexcept { return mRange; }
    const CRange& andRange() const noexcept { return mAndRange; }
    bool isInverted() const noexcept { return mInverted; }

    // Parses a range text; false (range invalid) for a malformed text, a step that is not a
    // positive finite number, a bound that is not finite or does not fit 32 bits in steps, or low
    // above high.
    static bool parseRange(CRange& range, const CString& text);
    // v lies in the range and w in the and-range.
    bool isInRanges(double v, double w) const noexcept;
    // Whether the state is active for the parameter value v and the and-parameter value w (w is
    // read only when there is an and-param).
    bool isActive(double v, double w) const noexcept;

private:
    std::int32_t mId = 0;
    CString mParam;
    double mValue = 0.0;
    CRange mRange;
    CString mAndParam;
    double mAndValue = 0.0;
    CRange mAndRange;
    bool mInverted = false;
};

} // namespace tal
