#pragma once

#include <cstdint>
#include <vector>

namespace tal {

class CResampleKernel;

// The sample positions of one resampling axis: for each destination sample, its weight row and
// its first tap as an index into the source padded on both sides with copies of the edge samples.
// Kept while the lengths, the start and the kernel's weights stay the same. Part of a resampler
// workspace; one thread at a time.
class CResampleAxis {
public:
    struct CEntry {
        const float* weights = nullptr;
        std::int64_t firstTap = 0;   // padded index of the first tap
    };

    // Fills the entries for a source of n samples and m destination samples, destination sample i
    // lying at start + i x step (source positions, centres at whole numbers).
    void init(std::int32_t n, std::int32_t m, CResampleKernel& kernel, double start);

    std::int32_t paddingBefore() const noexcept { return mPaddingBefore; }
    std::int32_t paddingAfter() const noexcept { return mPaddingAfter; }
    const CEntry& entry(std::int32_t i) const noexcept { return mEntries[std::size_t(i)]; }

private:
    std::int32_t mPaddingBefore = 0;
    std::int32_t mPaddingAfter = 0;
    std::vector<CEntry> mEntries;
    // Cache key: the lengths, the start and the kernel with the rebuild whose rows the entries use.
    std::int32_t mKeyN = -1;
    std::int32_t mKeyM = -1;
    double mKeyStart = 0.0;
    const CResampleKernel* mKeyKernel = nullptr;
    std::uint32_t mKeyGeneration = 0;
};

} // namespace tal
