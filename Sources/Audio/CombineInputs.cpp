#include "Audio/CombineInputs.h"

#include "Audio/CAudioBlockPool.h"

#include <algorithm>

namespace tal {

namespace {

// out[i] := op over the k inputs (k = 1..4); out may not alias an input.
void combineInto(double* __restrict out, double* const* in, int k, int length, bool maximum) noexcept {
    std::copy(in[0], in[0] + length, out);
    for (int j = 1; j < k; ++j) {
        const double* __restrict src = in[j];
        if (maximum) {
            for (int i = 0; i < length; ++i)
                out[i] = std::max(out[i], src[i]);
        } else {
            for (int i = 0; i < length; ++i)
                out[i] += src[i];
        }
    }
}

} // namespace

CombineMode combineModeOf(int value) noexcept {
    if (value == 0)
        return CombineMode::kSum;
    if (value == 1)
        return CombineMode::kAverage;
    return CombineMode::kMaximum;
}

double* combineInputBlocks(CAudioBlockPool& pool, double* const* sources, int n, int length, CombineMode mode) noexcept {
    const bool maximum = mode == CombineMode::kMaximum;
    const int bytes = 8 * std::max(length, 1);
    if (n <= 0) {
        double* silent = pool.allocBlock(bytes);
        std::fill(silent, silent + length, 0.0);
        return silent;
    }
    double* pending[4] = {};
    int count = 0;
    bool firstIsIntermediate = false;
    for (int s = 0; s < n; ++s) {
        pending[count++] = sources[s];
        if (count < 4)
            continue;
        double* block = pool.allocBlock(bytes);
        combineInto(block, pending, 4, length, maximum);
        if (firstIsIntermediate)
            CAudioBlockPool::releaseBlock(pending[0]);
        pending[0] = block;
        count = 1;
        firstIsIntermediate = true;
    }
    if (mode != CombineMode::kAverage && count == 1) {
        if (!firstIsIntermediate)
            CAudioBlockPool::addUse(pending[0]);
        return pending[0];
    }
    double* result = pool.allocBlock(bytes);
    combineInto(result, pending, count, length, maximum);
    if (mode == CombineMode::kAverage) {
        const double scale = 1.0 / double(n);
        for (int i = 0; i < length; ++i)
            result[i] *= scale;
    }
    if (firstIsIntermediate)
        CAudioBlockPool::releaseBlock(pending[0]);
    return result;
}

} // namespace tal
