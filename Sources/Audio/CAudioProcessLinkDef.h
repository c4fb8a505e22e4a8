#pragma once
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// A link of a composite process definition ("audio:process-link"): from a source output port to
// a destination input port among the composite's children; "*" names the composite itself (its
// input as a source, its output as a destination). "src" and "dst" are "name" or "name/port"; a
// link may belong to a state group ("state-id", -1 = always active) and lists the bypass states
// that switch it off ("bypass-state-id", blank-separated ids). Read-only after init.
class CAudioProcessLinkDef : public CObject {
public:
    CAudioProcessLinkDef() = default;

    // --- life cycle: while the description loads ---
    [[nodiscard]] CError* init() override;

    // --- queries ---
    std::int32_t stateId() const noexcept { return mStateId; }
    const CArray<std::int32_t>& bypassStateIds() const noexcept { return mBypassStateIds; }
    const CString& sourceName() const noexcept { return mSourceName; }
    std::int32_t sourcePort() const noexcept { return mSourcePort; }
    const CString& destinationName() const noexcept { return mDestinationName; }
    std::int32_t destinationPort() const noexcept { return mDestinationPort; }

    // Splits an endpoint text into name and port: without "/" the port is 0 and the name is the
    // whole text; otherwise the text after the first "/" read as an integer (-1 when it is not one).
    static void parseEndpoint(const CString& text, CString& name, std::int32_t& port);

private:
    std::int32_t mStateId = -1;
    CArray<std::int32_t> mBypassStateIds;
    CString mSourceName;
    std::int32_t mSourcePort = 0;
    CString mDestinationName;
    std::int32_t mDestinationPort = 0;
};

} // namespace tal
