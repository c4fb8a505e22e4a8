#pragma once
#include <cstdint>

namespace tal {

// The band type given to a band added at a frequency in lowHz..highHz (both included). A plain value.
struct CAddBandAutoType {
    std::int32_t type = 0;
    std::int32_t lowHz = 0;
    std::int32_t highHz = 0;
};

} // namespace tal
