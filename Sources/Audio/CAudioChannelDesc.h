#pragma once

#include <cstdint>

namespace tal {

// One channel of a stream: in a format handed to CAudioProcessBase::setConnectionFormat the key
// is (source port x 16) + channel index; in connection records, port formats and module outputs
// it is the channel index 0..15 alone. The same record serves stream formats, the channel records
// of input connections (sourcePortOrCount = the source port), the format entries of ports
// (sourcePortOrCount = how many sources are combined into the channel, next = the next entry of
// the process's combine groups) and module outputs. block is the channel's current audio block.
struct CAudioChannelDesc {
    std::int32_t key = -1;
    std::int32_t group = 0;
    std::int32_t latency = 0;               // samples accumulated since the host input
    std::int32_t sourcePortOrCount = 0;
    CAudioChannelDesc* next = nullptr;
    double* block = nullptr;
};

} // namespace tal
