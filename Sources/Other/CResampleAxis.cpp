#include "Other/CResampleAxis.h"

#include "Other/CResampleKernel.h"

#include <algorithm>
#include <cmath>

namespace tal {

void CResampleAxis::init(std::int32_t n, std::int32_t m, CResampleKernel& kernel, double start) {
    if (n == mKeyN && m == mKeyM && start == mKeyStart && &kernel == mKeyKernel && kernel.generation() == mKeyGeneration)
        return;
    const double step = kernel.step();
    const std::int64_t half = kernel.half();
    const double last = double(m - 1) * step + start;
    mPaddingBefore = std::int32_t(std::max<std::int64_t>(0, half - std::int64_t(std::floor(start)) - 1));
    mPaddingAfter = std::int32_t(std::max<std::int64_t>(0, std::int64_t(std::floor(last)) + half - n + 1));
    mEntries.resize(std::size_t(m));
    for (std::int32_t i = 0; i < m; ++i) {
        const double t = start + double(i) * step;
        const double f = std::floor(t);
        CEntry& e = mEntries[std::size_t(i)];
        e.firstTap = std::int64_t(f) - half + 1 + mPaddingBefore;
        e.weights = kernel.getWeights(t - f);
    }
    mKeyN = n;
    mKeyM = m;
    mKeyStart = start;
    mKeyKernel = &kernel;
    mKeyGeneration = kernel.generation();
}

} // namespace tal
