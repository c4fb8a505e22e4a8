#pragma once
#include <xmmintrin.h>

namespace tal {

// Sets flush-to-zero and denormals-are-zero in this thread's MXCSR for its lifetime and restores
// the caller's word on every exit. A word that already has both bits is left untouched.
// Audio thread (per thread state); allocates nothing.
class CFloatModeGuard {
public:
    static constexpr unsigned kFlushToZero = 1u << 15;       // results too small become 0
    static constexpr unsigned kDenormalsAreZero = 1u << 6;   // denormal inputs read as 0
    static constexpr unsigned kBoth = kFlushToZero | kDenormalsAreZero;

    CFloatModeGuard() noexcept : mSaved(_mm_getcsr()), mChanged((mSaved & kBoth) != kBoth) {
        if (mChanged)
            _mm_setcsr(mSaved | kBoth);
    }
    CFloatModeGuard(const CFloatModeGuard&) = delete;
    CFloatModeGuard& operator=(const CFloatModeGuard&) = delete;
    ~CFloatModeGuard() {
        if (mChanged)
            _mm_setcsr(mSaved);
    }

private:
    unsigned mSaved;
    bool mChanged;
};

} // namespace tal
