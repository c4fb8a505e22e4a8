#include "Other/CResampleKernel.h"

#include <cmath>
#include <numbers>

namespace tal {

bool CResampleKernel::init(std::int32_t channels, double lobes, double step) {
    if (lobes == mKeyLobes && step == mKeyStep && channels == mKeyChannels && mTaps > 0)
        return false;
    const double cutoff = step > 1.0 ? 1.0 / step : 1.0;
    mOmega = std::numbers::pi * cutoff;
    mOmegaWindow = mOmega / lobes;
    mHalfWidth = lobes / cutoff;
    mHalf = std::int32_t(std::ceil(mHalfWidth));
    mTaps = 2 * mHalf;
    mChannels = channels;
    mRowLength = (mTaps * channels + 3) & ~3;
    mRowsUsed = 0;
    mPhaseRows.fill(nullptr);
    mKeyLobes = lobes;
    mKeyStep = step;
    mKeyChannels = channels;
    ++mGeneration;
    return true;
}

const float* CResampleKernel::getWeights(double fraction) {
    std::int32_t phase = std::int32_t(fraction * kPhases + 0.5);
    phase = phase < 0 ? 0 : phase > kPhases ? kPhases : phase;
    if (const float* row = mPhaseRows[std::size_t(phase)])
        return row;
    const int block = mRowsUsed / kRowsPerBlock;
    CAlignedFloats& storage = mBlocks[std::size_t(block)];
    // A block is (re)sized only before its first row is handed out, so rows never move.
    if (mRowsUsed % kRowsPerBlock == 0)
        storage.reserve(std::int64_t(mRowLength) * kRowsPerBlock + 16);
    float* row = storage.data() + std::int64_t(mRowsUsed % kRowsPerBlock) * mRowLength;
    ++mRowsUsed;
    computeWeights(row, 1.0 - double(phase) / kPhases);
    // Repeat every weight per channel, last first, so the row lines up with interleaved pixels.
    if (mChannels > 1)
        for (std::int32_t k = mTaps - 1; k >= 0; --k)
            for (std::int32_t c = mChannels - 1; c >= 0; --c)
                row[k * mChannels + c] = row[k];
    for (std::int32_t i = mTaps * mChannels; i < mRowLength; ++i)
        row[i] = 0.0f;
    mPhaseRows[std::size_t(phase)] = row;
    return row;
}

void CResampleKernel::computeWeights(float* row, double x) const {
    double sum = 0.0;
    for (std::int32_t k = -mHalf; k < mHalf; ++k) {
        const double t = double(k) + x;
        double w = 0.0;
        if (std::fabs(t) <= mHalfWidth)
            w = t == 0.0 ? mOmega * mOmegaWindow : std::sin(mOmega * t) * std::sin(mOmegaWindow * t) / (t * t);
        const float stored = float(w);
        row[k + mHalf] = stored;
        sum += double(stored);
    }
    const double scale = 1.0 / sum;
    for (std::int32_t i = 0; i < mTaps; ++i)
        row[i] = float(double(row[i]) * scale);
}

} // namespace tal
