#pragma once

namespace tal {

class CAudioBlockPool;

// How a process combines several sources on one input channel (the definition's
// "input-combo-mode"): 0 sum, 1 average, any other value the per-sample maximum.
enum class CombineMode { kSum = 0, kAverage = 1, kMaximum = 2 };
CombineMode combineModeOf(int value) noexcept;

// Combines n >= 2 source blocks of length samples into one block and returns it with one use that
// the caller owns. Works four inputs at a time with at most one intermediate block alive; the sum
// and the maximum of a single remaining input reuse it (a source block then gets one more use).
// The sources keep their use counts. Audio thread; blocks come from pool.
double* combineInputBlocks(CAudioBlockPool& pool, double* const* sources, int n, int length, CombineMode mode) noexcept;

} // namespace tal
