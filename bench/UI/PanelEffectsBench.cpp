// The panel light effects over a 1024 x 640 tile set: the spotlight's falloff blend against a
// pixman radial gradient composited OVER the same pixels, and the gradient's per-row 16.16
// multiply against a pixman vertical linear gradient composited with MULTIPLY; on one thread and
// on every processor, each thread owning a band of rows. Counters: Mpixel/s of ours and
// "ratio" = our time / pixman's time.
#include "Other/CLinearBitmap.h"
#include "Platform/CProcessorCount.h"
#include "UI/Controls/CGradientBase.h"
#include "UI/Controls/CSpotlightBase.h"
#include "support/TimeRatio.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace tal {
namespace {

constexpr std::int32_t kWidth = 1024;
constexpr std::int32_t kHeight = 640;

// Runs work(y0, y1) over the rows split into bands, one per thread (inline for one thread).
template <class Work>
void inBands(int threads, Work&& work) {
    if (threads <= 1) {
        work(0, kHeight);
        return;
    }
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] { work(kHeight * t / threads, kHeight * (t + 1) / threads); });
    for (std::thread& thread : pool)
        thread.join();
}

struct Pixels {
    Pixels() {
        delete bitmap.setSize(kWidth, kHeight, true);
        for (std::int32_t y = 0; y < kHeight; ++y)
            for (std::int32_t x = 0; x < kWidth; ++x) {
                std::uint8_t* p = bitmap.pixels() + y * bitmap.stride() + 4 * x;
                p[0] = std::uint8_t(40 + x % 32), p[1] = std::uint8_t(44 + y % 16), p[2] = 52, p[3] = 255;
            }
        image = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, reinterpret_cast<std::uint32_t*>(bitmap.pixels()),
                                         bitmap.stride());
    }
    ~Pixels() { pixman_image_unref(image); }
    CLinearBitmap bitmap;
    pixman_image_t* image = nullptr;
};

struct OurSpotlight {
    OurSpotlight(Pixels& p, int n) : pixels(p), threads(n) { CSpotlightBase::buildFalloff(32768.0 * 0.35, falloff); }
    void draw() {
        inBands(threads, [this](std::int32_t y0, std::int32_t y1) {
            CSpotlightBase::lightRect(pixels.bitmap, CPixelRect{0, y0, kWidth, y1 - y0}, 0, 0, 300.0, 130.0, 320.0, falloff, light);
        });
    }
    Pixels& pixels;
    int threads;
    double falloff[CSpotlightBase::kFalloffSize];
    const std::uint8_t light[3] = {0xb8, 0xd4, 0xff};
};

struct PixmanSpotlight {
    PixmanSpotlight(Pixels& p, int n) : pixels(p), threads(n) {
        const pixman_point_fixed_t centre{pixman_double_to_fixed(300.0), pixman_double_to_fixed(130.0)};
        const pixman_gradient_stop_t stops[] = {
            {pixman_double_to_fixed(0.0), {0xffff, 0xd4d4, 0xb8b8, 0x5999}},
            {pixman_double_to_fixed(0.5), {0xffff, 0xd4d4, 0xb8b8, 0x1000}},
            {pixman_double_to_fixed(1.0), {0xffff, 0xd4d4, 0xb8b8, 0x0000}},
        };
        source = pixman_image_create_radial_gradient(&centre, &centre, 0, pixman_double_to_fixed(565.0), stops, 3);
    }
    ~PixmanSpotlight() { pixman_image_unref(source); }
    void draw() {
        inBands(threads, [this](std::int32_t y0, std::int32_t y1) {
            pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, pixels.image, 0, y0, 0, 0, 0, y0, kWidth, y1 - y0);
        });
    }
    Pixels& pixels;
    int threads;
    pixman_image_t* source = nullptr;
};

struct OurGradient {
    OurGradient(Pixels& p, int n) : pixels(p), threads(n) {}
    void draw() {
        inBands(threads, [this](std::int32_t y0, std::int32_t y1) {
            for (std::int32_t y = y0; y < y1; ++y) {
                const double h = CGradientBase::rowFactor(double(y) / kHeight, 1.0, 1.2, 1.0);
                CGradientBase::multiplyPixels(pixels.bitmap.pixels() + y * pixels.bitmap.stride(), kWidth,
                                              CGradientBase::fixedFactor(0.5, h));
            }
        });
    }
    Pixels& pixels;
    int threads;
};

struct PixmanGradient {
    PixmanGradient(Pixels& p, int n) : pixels(p), threads(n) {
        const pixman_point_fixed_t top{0, 0}, bottom{0, pixman_int_to_fixed(kHeight)};
        const pixman_gradient_stop_t stops[] = {
            {pixman_double_to_fixed(0.0), {0xe000, 0xe000, 0xe000, 0xffff}},
            {pixman_double_to_fixed(0.5), {0xffff, 0xffff, 0xffff, 0xffff}},
            {pixman_double_to_fixed(1.0), {0xe000, 0xe000, 0xe000, 0xffff}},
        };
        source = pixman_image_create_linear_gradient(&top, &bottom, stops, 3);
    }
    ~PixmanGradient() { pixman_image_unref(source); }
    void draw() {
        inBands(threads, [this](std::int32_t y0, std::int32_t y1) {
            pixman_image_composite32(PIXMAN_OP_MULTIPLY, source, nullptr, pixels.image, 0, y0, 0, 0, 0, y0, kWidth, y1 - y0);
        });
    }
    Pixels& pixels;
    int threads;
    pixman_image_t* source = nullptr;
};

template <class Ours, class Theirs>
void compare(benchmark::State& state) {
    const int threads = state.range(0) == 0 ? std::max(1, processorCount()) : 1;
    Pixels ourPixels, theirPixels;
    Ours ours(ourPixels, threads);
    Theirs theirs(theirPixels, threads);
    bench::runTimeRatio(state, ours, theirs, "ratio");
    state.counters["threads"] = threads;
    state.counters["Mpixel/s"] = benchmark::Counter(double(kWidth) * kHeight * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

// Arg 1: one thread; arg 0: one per processor. Mpixel/s counts both draws of an iteration.
BENCHMARK(compare<OurSpotlight, PixmanSpotlight>)->Name("Spotlight")->Arg(1)->Arg(0)->UseRealTime();
BENCHMARK(compare<OurGradient, PixmanGradient>)->Name("Gradient")->Arg(1)->Arg(0)->UseRealTime();

} // namespace
} // namespace tal
