#pragma once

#include "Other/CAlignedFloats.h"

#include <array>
#include <cstdint>

namespace tal {

// The weights of one resampling axis: a Lanczos window of some lobes, widened by the step when the
// copy is smaller than the source, sampled at 1000 phases per source pixel. Each phase's row is
// computed on first use, normalised to sum 1 and repeated per channel (so that one row multiplies
// interleaved pixels directly), and kept until the kernel is rebuilt for another step, lobe count
// or channel count. Part of a resampler workspace; one thread at a time.
class CResampleKernel {
public:
    CResampleKernel() = default;
    CResampleKernel(const CResampleKernel&) = delete;
    CResampleKernel& operator=(const CResampleKernel&) = delete;

    // Rebuilds for (channels, lobes, step) unless those equal the cached key; true when rebuilt
    // (all weight rows are then forgotten).
    bool init(std::int32_t channels, double lobes, double step);
    // The weight row (taps x channels floats, padded to a multiple of 4) of the phase nearest to
    // fraction 0..1 of a source pixel; computed on first use. Stays valid until the next rebuild.
    const float* getWeights(double fraction);

    // --- queries ---
    std::int32_t taps() const noexcept { return mTaps; }
    std::int32_t half() const noexcept { return mHalf; }
    double halfWidth() const noexcept { return mHalfWidth; }
    double step() const noexcept { return mKeyStep; }
    std::int32_t channels() const noexcept { return mChannels; }
    std::int32_t rowLength() const noexcept { return mRowLength; }
    // Changes with every rebuild, so that sample tables built on older rows can tell.
    std::uint32_t generation() const noexcept { return mGeneration; }

    static constexpr std::int32_t kPhases = 1000;

private:
    // The taps for a sample at distance x (0..1) past the tap at k = -1 .. -half.
    void computeWeights(float* row, double x) const;

    static constexpr std::int32_t kRowsPerBlock = 256;
    static constexpr int kBlocks = 4;   // 4 x 256 rows hold all 1001 phases

    std::int32_t mTaps = 0;
    double mOmega = 0.0;
    double mOmegaWindow = 0.0;
    double mHalfWidth = 0.0;
    std::int32_t mHalf = 0;
    std::int32_t mRowLength = 0;
    std::int32_t mChannels = 0;
    std::array<CAlignedFloats, kBlocks> mBlocks;
    std::int32_t mRowsUsed = 0;   // rows handed out over all blocks
    std::array<const float*, kPhases + 1> mPhaseRows{};
    double mKeyLobes = 0.0;
    double mKeyStep = 0.0;
    std::int32_t mKeyChannels = 0;
    std::uint32_t mGeneration = 0;
};

} // namespace tal
