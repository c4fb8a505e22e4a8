#include "Audio/VST/ParamQueueEvents.h"

#include "Audio/CAudioWrapperEventQueue.h"

#include <algorithm>

namespace tal {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::int32_t appendParamQueueEvents(IParamValueQueue& queue, std::int32_t paramIndex, std::int32_t frames,
                                    CAudioWrapperEventQueue& events) noexcept {
    const int32 n = queue.getPointCount();
    if (n <= 0)
        return 0;
    const std::int32_t lastOffset = std::max<std::int32_t>(frames - 1, 0);
    std::int32_t appended = 0;
    auto take = [&](int32 index) {
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue.getPoint(index, offset, value) != kResultOk)
            return;
        CAudioWrapperEvent event;
        event.offset = std::clamp<std::int32_t>(offset, 0, lastOffset);
        event.type = CAudioWrapperEvent::kParameter;
        event.index = paramIndex;
        event.value = value;
        if (events.append(event))
            ++appended;
    };
    const std::int64_t m = std::min<std::int64_t>(n, kMaxEventsPerQueue);
    for (std::int64_t j = 0; j + 1 < m; ++j)
        take(int32((j * n) / m));   // 64-bit: no overflow for any point count
    take(n - 1);
    return appended;
}

} // namespace tal
