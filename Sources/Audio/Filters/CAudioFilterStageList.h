#pragma once

#include "Audio/Filters/CAudioFilterStage.h"

namespace tal {

// The stages of one design, in cascade order. Stages are held inline, so designing allocates
// nothing (it runs on the audio thread); a design that would exceed kCapacity stages keeps the
// first kCapacity. Owned by its caller (the IIR module, the editor's response display); one
// thread uses a list at a time.
class CAudioFilterStageList {
public:
    static constexpr int kCapacity = 16;

    CAudioFilterStageList() = default;

    // --- queries ---
    int count() const noexcept { return mCount; }
    bool isEmpty() const noexcept { return mCount == 0; }
    const CAudioFilterStage& operator[](int i) const noexcept { return mStages[i]; }
    const CAudioFilterStage* begin() const noexcept { return mStages; }
    const CAudioFilterStage* end() const noexcept { return mStages + mCount; }
    // |H| of the whole cascade at a frequency.
    double magnitudeAt(double freqHz, double sampleRate) const noexcept;

    // --- operations ---
    // A new zeroed stage at the end, or null when the list is full.
    CAudioFilterStage* append() noexcept;
    // Removes the stages from index `from` on (designers drop a stage they could not finish).
    void truncate(int from) noexcept;
    void clear() noexcept { truncate(0); }

private:
    int mCount = 0;
    CAudioFilterStage mStages[kCapacity] = {};
};

} // namespace tal
