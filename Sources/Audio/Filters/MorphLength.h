#pragma once

#include <cmath>

namespace tal {

// The length in samples of a coefficient morph of `seconds` at `sampleRate`: the nearest integer,
// halves away from zero, and never below one sample (so that the crossfade oscillator, which
// steps by pi/n, stays finite at any rate, including a rate of 0 or not a number).
inline int morphLengthSamples(double seconds, double sampleRate) noexcept {
    const double n = std::round(seconds * sampleRate);
    if (!(n >= 1.0))
        return 1;
    if (n > 1.0e9)
        return 1000000000;
    return static_cast<int>(n);
}

} // namespace tal
