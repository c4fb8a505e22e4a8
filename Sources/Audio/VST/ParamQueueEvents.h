#pragma once
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <cstdint>

namespace tal {

class CAudioWrapperEventQueue;

// At most this many events come from one host parameter queue per block.
constexpr std::int32_t kMaxEventsPerQueue = 32;

// Turns one host parameter queue into parameter events of the exported parameter paramIndex:
// with n points and m = min(n, 32), the points (j * n) / m for j = 0 .. m - 2 and always the last
// point. A point the queue refuses is skipped. Offsets are clamped into the block (0 .. frames - 1;
// 0 for an empty block), so a point the host placed outside it is applied at the nearest edge
// rather than lost or run before the block's start. Returns the number of events appended.
// Audio thread; allocates nothing.
std::int32_t appendParamQueueEvents(Steinberg::Vst::IParamValueQueue& queue, std::int32_t paramIndex,
                                    std::int32_t frames, CAudioWrapperEventQueue& events) noexcept;

} // namespace tal
