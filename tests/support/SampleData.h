#pragma once
#include <cstdint>
#include <random>
#include <vector>

// Deterministic payloads for codec tests and benchmarks.
namespace tal::test {

// n bytes of uniform noise from a fixed seed.
inline std::vector<std::uint8_t> noiseBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (std::uint8_t& b : v)
        b = std::uint8_t(rng() >> 24);
    return v;
}

// A premultiplied RGBA bitmap of about n bytes that looks like control art: flat backgrounds,
// gradients, anti-aliased discs and a little noise, with frames repeated side by side as in an
// image strip of a knob.
inline std::vector<std::uint8_t> imageLikeBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    const int width = 64, frameBytes = width * width * 4;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(frameBytes));
    std::vector<std::uint8_t> v;
    v.reserve(n + std::size_t(frameBytes));
    int index = 0;
    while (v.size() < n) {
        for (int y = 0; y < width; ++y) {
            for (int x = 0; x < width; ++x) {
                const int dx = x - width / 2, dy = y - width / 2;
                const int r2 = dx * dx + dy * dy;
                std::uint8_t* px = &frame[std::size_t((y * width + x) * 4)];
                if (r2 < 26 * 26) {
                    const int shade = 120 + (dx + dy) + index % 7;
                    px[0] = std::uint8_t(shade);
                    px[1] = std::uint8_t(shade + 10);
                    px[2] = std::uint8_t(shade + 20);
                    px[3] = 255;
                } else if (r2 < 28 * 28) {
                    px[0] = px[1] = px[2] = std::uint8_t(r2 - 26 * 26);
                    px[3] = std::uint8_t(255 - (r2 - 26 * 26));
                } else {
                    px[0] = px[1] = px[2] = 40;
                    px[3] = 255;
                }
                if ((rng() & 63) == 0)
                    px[0] = std::uint8_t(px[0] ^ (rng() & 3));
            }
        }
        // A pointer line that turns with the frame index.
        for (int t = 0; t < 20; ++t) {
            const int x = width / 2 + (t * ((index % 9) - 4)) / 8, y = width / 2 - t;
            if (x >= 0 && x < width && y >= 0 && y < width)
                frame[std::size_t((y * width + x) * 4)] = 250;
        }
        v.insert(v.end(), frame.begin(), frame.end());
        ++index;
    }
    v.resize(n);
    return v;
}

} // namespace tal::test
