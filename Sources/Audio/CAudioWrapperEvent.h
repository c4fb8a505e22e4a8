#pragma once
#include <cstdint>

namespace tal {

// One timed host event of the current host block, queued by the format binding and dispatched by
// the wrapper's block loop at its sample offset.
struct CAudioWrapperEvent {
    static constexpr std::int32_t kPlain = 0;       // goes to CAudioWrapper::processEvent
    static constexpr std::int32_t kParameter = 1;   // goes to CAudioWrapper::processParamEvent

    std::int32_t offset = 0;   // sample offset within the host block
    std::int32_t type = kPlain;
    std::int32_t index = 0;    // index of the exported parameter
    double value = 0.0;        // normalised value, 0 to 1
};

} // namespace tal
