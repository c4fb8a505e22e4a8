#pragma once

#include "Audio/Filters/CDCDAWContext.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tal::test {

// Runs one stage through named routines the way the filter module does: a pooled state block,
// coefficient blocks for initialise and update, pooled input and output blocks per chunk.
class RoutineRunner {
public:
    RoutineRunner(CDCDAWContext& context, const CDCDAWRoutine* table, int processIndex, int stateBytes,
                  const std::vector<double>& coefficients, double sampleRate)
        : mContext(context), mTable(table), mProcess(processIndex), mRate(sampleRate) {
        mState = mContext.blockPool().allocBlock(stateBytes);
        setup(mTable[0], coefficients);
    }
    RoutineRunner(const RoutineRunner&) = delete;
    ~RoutineRunner() { CAudioBlockPool::releaseBlock(mState); }

    void update(const std::vector<double>& coefficients) { setup(mTable[1], coefficients); }

    // Filters `in` in chunks of the given lengths (repeated cyclically).
    std::vector<double> run(const std::vector<double>& in, const std::vector<int>& chunks = {1 << 30}) {
        std::vector<double> out(in.size());
        std::size_t at = 0, c = 0;
        while (at < in.size()) {
            const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(chunks[c++ % chunks.size()]),
                                                                 in.size() - at));
            double* i = mContext.blockPool().allocBlock(8 * n);
            double* o = mContext.blockPool().allocBlock(8 * n);
            std::memcpy(i, in.data() + at, 8 * static_cast<std::size_t>(n));
            mContext.runProcessRoutine(mTable[mProcess], n, o, mState, i);
            std::memcpy(out.data() + at, o, 8 * static_cast<std::size_t>(n));
            CAudioBlockPool::releaseBlock(i);
            CAudioBlockPool::releaseBlock(o);
            at += static_cast<std::size_t>(n);
        }
        return out;
    }

    double* stateBlock() const { return mState; }
    template <class T>
    T& state() const { return *reinterpret_cast<T*>(mState); }

private:
    void setup(const CDCDAWRoutine& routine, const std::vector<double>& coefficients) {
        double* c = mContext.blockPool().allocBlock(static_cast<int>(8 * coefficients.size()));
        std::copy(coefficients.begin(), coefficients.end(), c);
        mContext.runSetupRoutine(routine, static_cast<int>(coefficients.size()), mState, c, mRate);
        CAudioBlockPool::releaseBlock(c);
    }

    CDCDAWContext& mContext;
    const CDCDAWRoutine* mTable;
    int mProcess;
    double mRate;
    double* mState = nullptr;
};

} // namespace tal::test
