#pragma once
#include "fft/FftDispatch.h"

namespace tal::test {

// Forces an FFT dispatch level for the scope of a test and restores the native one afterwards.
class ScopedFftLevel {
public:
    explicit ScopedFftLevel(int level) : mOk(setFFTDispatchLevelForTesting(level)) {}
    ~ScopedFftLevel() { setFFTDispatchLevelForTesting(fftNativeLevel()); }
    ScopedFftLevel(const ScopedFftLevel&) = delete;
    ScopedFftLevel& operator=(const ScopedFftLevel&) = delete;
    bool ok() const { return mOk; }

private:
    bool mOk;
};

} // namespace tal::test
