#pragma once

#include "Audio/Filters/BiquadShape.h"

namespace tal {

// The registers of one biquad section of a stereo pair while a cascade runs: rows q0..q4, w1, w2,
// each with lane 0 for the first channel and lane 1 for the second.
struct CBiquadLanes {
    static constexpr int kW1 = 5;
    static constexpr int kW2 = 6;
    double v[7][2];
};

// The cascade kernels of each instruction-set level. Each runs `count` steady sections in series,
// in place over n interleaved stereo frames (buf[2k] first channel, buf[2k + 1] second), every
// section with exactly the arithmetic of the single-section routine of its shape.
void runBiquadLanesSse2(CBiquadLanes* sections, const BiquadShape* shapes, int count, double* buf, int n) noexcept;
void runBiquadLanesAvx(CBiquadLanes* sections, const BiquadShape* shapes, int count, double* buf, int n) noexcept;

} // namespace tal
