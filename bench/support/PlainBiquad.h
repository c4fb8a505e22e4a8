#pragma once

// The reference the filter benchmarks compare against: one plainly written second-order section
// (transposed direct form II), run over a block of one channel.
namespace tal::bench {

struct PlainBiquad {
    double b0, b1, b2, a1, a2;
    double z1 = 0.0, z2 = 0.0;

    void process(double* io, int n) {
        double s1 = z1, s2 = z2;
        for (int i = 0; i < n; ++i) {
            const double x = io[i];
            const double y = b0 * x + s1;
            s1 = b1 * x - a1 * y + s2;
            s2 = b2 * x - a2 * y;
            io[i] = y;
        }
        z1 = s1;
        z2 = s2;
    }
};

} // namespace tal::bench
