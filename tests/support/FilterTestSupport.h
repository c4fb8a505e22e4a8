#pragma once

#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/CAudioFilterStageList.h"
#include "Audio/Filters/CAudioFilterValues.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace tal::test {

// Designs with the standard value order (freq, gain, bw) and no context.
inline CAudioFilterStageList design(const CAudioFilterGen& gen, double freq, double gain, double bw,
                                    double sampleRate = 48000.0, CDCDAWContext* context = nullptr) {
    const double v[3] = {freq, gain, bw};
    const CAudioFilterValues values{&CAudioFilterValueMap::standard(), 3, v, nullptr};
    CAudioFilterStageList stages;
    gen.designStage(stages, values, context, sampleRate);
    return stages;
}

// Deterministic white noise in [-1, 1).
inline std::vector<double> testNoise(int n, std::uint64_t seed) {
    std::vector<double> out(static_cast<std::size_t>(n));
    std::uint64_t s = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    for (double& x : out) {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        x = static_cast<double>(s >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }
    return out;
}

inline std::vector<double> testSine(int n, double freq, double sampleRate) {
    std::vector<double> out(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        out[static_cast<std::size_t>(i)] = std::sin(2.0 * 3.141592653589793 * freq * i / sampleRate);
    return out;
}

// The amplitude of the sinusoid of a frequency in the tail [from, end) of a signal (least
// squares fit of sine and cosine; exact for whole periods).
inline double sineAmplitude(const std::vector<double>& x, int from, double freq, double sampleRate) {
    double ss = 0, sc = 0, cc = 0, xs = 0, xc = 0;
    for (int i = from; i < static_cast<int>(x.size()); ++i) {
        const double p = 2.0 * 3.141592653589793 * freq * i / sampleRate;
        const double s = std::sin(p), c = std::cos(p);
        ss += s * s; sc += s * c; cc += c * c;
        xs += x[static_cast<std::size_t>(i)] * s; xc += x[static_cast<std::size_t>(i)] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (xs * cc - xc * sc) / det, b = (xc * ss - xs * sc) / det;
    return std::sqrt(a * a + b * b);
}

} // namespace tal::test
