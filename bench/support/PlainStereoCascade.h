#pragma once

#include <vector>

// The reference the filter benchmarks compare against: a plainly written cascade of second-order
// sections (transposed direct form II) over a stereo pair, both channels advanced in one loop so
// that the two channels' recursions overlap, compiled with the product's flags.
namespace tal::bench {

struct PlainStereoCascade {
    struct Section {
        double b0, b1, b2, a1, a2;
        double z1[2] = {0.0, 0.0};
        double z2[2] = {0.0, 0.0};
    };
    std::vector<Section> sections;

    void add(double b0, double b1, double b2, double a1, double a2) { sections.push_back({b0, b1, b2, a1, a2}); }

    // In place over n frames of the two channels: each section over the whole block, both channels
    // per frame.
    void process(double* l, double* r, int n) {
        for (Section& s : sections) {
            const double b0 = s.b0, b1 = s.b1, b2 = s.b2, a1 = s.a1, a2 = s.a2;
            double l1 = s.z1[0], l2 = s.z2[0], r1 = s.z1[1], r2 = s.z2[1];
            for (int i = 0; i < n; ++i) {
                const double xl = l[i], xr = r[i];
                const double yl = b0 * xl + l1;
                const double yr = b0 * xr + r1;
                l1 = b1 * xl - a1 * yl + l2;
                r1 = b1 * xr - a1 * yr + r2;
                l2 = b2 * xl - a2 * yl;
                r2 = b2 * xr - a2 * yr;
                l[i] = yl;
                r[i] = yr;
            }
            s.z1[0] = l1;
            s.z2[0] = l2;
            s.z1[1] = r1;
            s.z2[1] = r2;
        }
    }

    // The same cascade frame by frame (every section for one frame, then the next frame): the
    // processor may overlap a section's next frame with the following section's current one.
    void processByFrame(double* l, double* r, int n) {
        const int count = int(sections.size());
        for (int i = 0; i < n; ++i) {
            double xl = l[i], xr = r[i];
            for (int j = 0; j < count; ++j) {
                Section& s = sections[std::size_t(j)];
                const double yl = s.b0 * xl + s.z1[0];
                const double yr = s.b0 * xr + s.z1[1];
                s.z1[0] = s.b1 * xl - s.a1 * yl + s.z2[0];
                s.z1[1] = s.b1 * xr - s.a1 * yr + s.z2[1];
                s.z2[0] = s.b2 * xl - s.a2 * yl;
                s.z2[1] = s.b2 * xr - s.a2 * yr;
                xl = yl;
                xr = yr;
            }
            l[i] = xl;
            r[i] = xr;
        }
    }
};

} // namespace tal::bench
