#pragma once

#include "Audio/Filters/BiquadCascade.h"
#include "fft/CCpuInfo.h"

#include <gtest/gtest.h>

#include <string>

namespace tal::test {

// Tests that run once per instruction-set level of the biquad cascade (0 SSE2, 1 AVX, 2 AVX-512): each level
// this processor has is forced in turn, and a level it lacks is skipped.
inline bool forceBiquadLevel(int level) {
    return level <= biquadCascadeLevelFor(CCpuInfo()) && setBiquadCascadeLevelForTesting(level);
}
inline void restoreBiquadLevel() { setBiquadCascadeLevelForTesting(biquadCascadeLevelFor(CCpuInfo())); }
inline std::string biquadLevelName(const ::testing::TestParamInfo<int>& info) {
    return info.param == 0 ? "Sse2" : info.param == 1 ? "Avx" : "Avx512";
}

class CBiquadLevelTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (!forceBiquadLevel(GetParam()))
            GTEST_SKIP() << "this processor lacks level " << GetParam();
    }
    void TearDown() override { restoreBiquadLevel(); }
};

} // namespace tal::test
