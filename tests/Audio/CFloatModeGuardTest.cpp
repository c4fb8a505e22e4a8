#include "Audio/CFloatModeGuard.h"

#include <gtest/gtest.h>

#include <xmmintrin.h>

namespace {

using tal::CFloatModeGuard;

constexpr unsigned kFtz = 0x8000, kDaz = 0x0040;   // MXCSR bits, named independently of the guard

TEST(CFloatModeGuard, SetsBothModesInsideAndRestoresTheCallersWord) {
    const unsigned original = _mm_getcsr();
    for (unsigned callerBits : {0u, kFtz, kDaz, kFtz | kDaz}) {
        SCOPED_TRACE(callerBits);
        const unsigned caller = (original & ~(kFtz | kDaz)) | callerBits;
        _mm_setcsr(caller);
        {
            CFloatModeGuard guard;
            EXPECT_EQ(_mm_getcsr() & (kFtz | kDaz), kFtz | kDaz);
            volatile float tiny = 1e-38f;
            volatile float product = tiny * 1e-3f;   // denormal result, flushed
            EXPECT_EQ(product, 0.0f);
        }
        EXPECT_EQ(_mm_getcsr(), caller);
    }
    _mm_setcsr(original);
}

} // namespace
