#pragma once
#include "Core/CObject.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// A link state of a composite process definition: the value of "param", taken to the nearest
// integer, selects which state group of links is active. No tag creates it from a description;
// composites support it all the same. Read-only after init.
class CAudioProcessLinkStateDef : public CObject {
public:
    static constexpr std::int32_t kNoState = -99999;   // the value of a parameter without values

    CAudioProcessLinkStateDef() = default;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;

    // --- queries ---
    const CString& param() const noexcept { return mParam; }
    // The state number of a parameter value: the nearest integer, halves away from zero (clamped
    // to 32 bits; not a number gives kNoState).
    static std::int32_t stateOf(double value) noexcept;

private:
    CString mParam;
};

} // namespace tal
