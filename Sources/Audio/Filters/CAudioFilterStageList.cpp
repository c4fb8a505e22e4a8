#include "Audio/Filters/CAudioFilterStageList.h"

namespace tal {

double CAudioFilterStageList::magnitudeAt(double freqHz, double sampleRate) const noexcept {
    double m = 1.0;
    for (const CAudioFilterStage& s : *this)
        m *= s.magnitudeAt(freqHz, sampleRate);
    return m;
}

CAudioFilterStage* CAudioFilterStageList::append() noexcept {
    if (mCount == kCapacity)
        return nullptr;
    CAudioFilterStage* s = &mStages[mCount++];
    *s = CAudioFilterStage{};
    return s;
}

void CAudioFilterStageList::truncate(int from) noexcept {
    if (from >= 0 && from < mCount)
        mCount = from;
}

} // namespace tal
