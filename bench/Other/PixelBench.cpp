// The pixel core against cairo (reference only, never linked into the plug-in): the anti-aliased
// stroke and the gradient fill of an equaliser-like response curve into a 1200 x 600 bitmap, and
// scaled copies of a 4-channel image layer at 2 -> 1, 1.5 and 3.
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CCurveDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"

#include "support/TimeRatio.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace tal;

constexpr int kWidth = 1200, kHeight = 600;

// Two bells, a dip and a high shelf: one point per column.
std::vector<double> responseCurve() {
    std::vector<double> points;
    for (int x = 0; x < kWidth; ++x) {
        const double u = double(x) / kWidth;
        const double db = 9.0 * std::exp(-std::pow((u - 0.3) / 0.06, 2)) - 6.0 * std::exp(-std::pow((u - 0.62) / 0.1, 2)) +
                          4.0 / (1.0 + std::exp(-(u - 0.85) * 40.0)) + 3.0 * std::sin(u * 40.0) * std::exp(-u * 4.0);
        points.push_back(x);
        points.push_back(kHeight / 2.0 - db * kHeight / 30.0);
    }
    return points;
}

void BM_StrokeAA(benchmark::State& state) {
    const std::vector<double> points = responseCurve();
    CLinearBitmap bm;
    (void)bm.setSize(kWidth, kHeight, true);
    CColor line;
    line.buildLinearRamp(255, 220, 90);
    CCurveDraw stroke;
    stroke.points = points.data();
    stroke.count = kWidth;
    stroke.color = &line;
    stroke.brush = CBrushCache::getBrush(2.5);
    for (auto _ : state) {
        bm.drawCurveAA(stroke, 0, 0, CPixelRect{0, 0, kWidth, kHeight});
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth);
}
BENCHMARK(BM_StrokeAA);

void BM_CairoStroke(benchmark::State& state) {
    const std::vector<double> points = responseCurve();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_set_line_width(cr, 2.5);
    cairo_set_source_rgb(cr, 1.0, 220 / 255.0, 90 / 255.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (auto _ : state) {
        cairo_move_to(cr, points[0] + 0.5, points[1] + 0.5);
        for (int i = 1; i < kWidth; ++i)
            cairo_line_to(cr, points[std::size_t(2 * i)] + 0.5, points[std::size_t(2 * i + 1)] + 0.5);
        cairo_stroke(cr);
        cairo_surface_flush(surface);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_CairoStroke);

// Our gradient fill between the curve and the zero line.
struct OurFill {
    std::vector<double> points = responseCurve();
    CLinearBitmap bm;
    CColor fill;
    CCurveDraw area;
    OurFill() {
        (void)bm.setSize(kWidth, kHeight, true);
        fill.buildLinearRamp(60, 140, 255);
        area.points = points.data();
        area.count = kWidth;
        area.color = &fill;
        area.opacity = 0.5;
        area.areaHeight = kHeight;
        area.edgeFactor = 0.2;
        area.peakFactor = 1.0;
        area.peakPosition = 0.5;
        area.alphaTableMode = true;
    }
    void draw() {
        bm.fillColumnArea(area, 0, 0, CPixelRect{0, 0, kWidth, kHeight});
        benchmark::ClobberMemory();
    }
};

// cairo's of the same look: opacity ramps from 0.1 at the edges to 0.5 at the zero line, between
// the curve and the zero line.
struct CairoFill {
    std::vector<double> points = responseCurve();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 0, kHeight);
    CairoFill() {
        cairo_pattern_add_color_stop_rgba(gradient, 0.0, 60 / 255.0, 140 / 255.0, 1.0, 0.1);
        cairo_pattern_add_color_stop_rgba(gradient, 0.5, 60 / 255.0, 140 / 255.0, 1.0, 0.5);
        cairo_pattern_add_color_stop_rgba(gradient, 1.0, 60 / 255.0, 140 / 255.0, 1.0, 0.1);
        cairo_set_source(cr, gradient);
    }
    CairoFill(const CairoFill&) = delete;
    CairoFill& operator=(const CairoFill&) = delete;
    ~CairoFill() {
        cairo_pattern_destroy(gradient);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    void draw() {
        cairo_move_to(cr, 0, kHeight / 2.0);
        for (int i = 0; i < kWidth; ++i)
            cairo_line_to(cr, points[std::size_t(2 * i)] + 0.5, points[std::size_t(2 * i + 1)] + 0.5);
        cairo_line_to(cr, kWidth, kHeight / 2.0);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_surface_flush(surface);
        benchmark::ClobberMemory();
    }
};

// One fill per iteration: ours (OurFill) or cairo's (CairoFill).
template <class Fill>
void BM_FillArea(benchmark::State& state) {
    Fill fill;
    for (auto _ : state)
        fill.draw();
    state.SetItemsProcessed(state.iterations() * kWidth);
}
BENCHMARK_TEMPLATE(BM_FillArea, OurFill);
BENCHMARK_TEMPLATE(BM_FillArea, CairoFill);

// Both fills in each iteration, timed apart: the counter is our time as a fraction of cairo's in
// this run (target at most 1.0).
void BM_FillAreaTimeRatio(benchmark::State& state) {
    OurFill ours;
    CairoFill theirs;
    tal::bench::runTimeRatio(state, ours, theirs, "time_over_cairo");
}
BENCHMARK(BM_FillAreaTimeRatio);

constexpr int kImage = 256;

std::vector<std::uint8_t> testImage() {
    std::vector<std::uint8_t> raw(std::size_t(kImage * kImage * 4));
    for (int y = 0; y < kImage; ++y)
        for (int x = 0; x < kImage; ++x) {
            std::uint8_t* p = &raw[std::size_t((y * kImage + x) * 4)];
            p[0] = std::uint8_t(x), p[1] = std::uint8_t(y), p[2] = std::uint8_t((x ^ y) & 255);
            p[3] = std::uint8_t(std::hypot(x - 128.0, y - 128.0) < 110 ? 255 : 0);
        }
    return raw;
}

// One new scaled copy of a 256 x 256 layer at scale 2 per iteration (resampling and run-length
// encoding); the arg is the target scale in tenths.
void BM_ScaledCopy(benchmark::State& state) {
    const std::vector<std::uint8_t> raw = testImage();
    const double scale = double(state.range(0)) / 10.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto layer = std::make_unique<CImageLayer>();
        layer->init(0, kImage, kImage, 0, 0, 2.0, 0.0, 0, 0, 0, 4, 128, raw.data(), 32);
        layer->assignBlock(raw.data(), std::int32_t(raw.size()), false);
        state.ResumeTiming();
        benchmark::DoNotOptimize(layer->getScaled(scale));
    }
    state.SetItemsProcessed(state.iterations() * kImage * kImage);
}
BENCHMARK(BM_ScaledCopy)->Arg(10)->Arg(15)->Arg(30);

// cairo drawing the same image scaled with its best filter into a new surface.
void BM_CairoScaledCopy(benchmark::State& state) {
    const std::vector<std::uint8_t> raw = testImage();
    const double ratio = double(state.range(0)) / 20.0;
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kImage, kImage);
    cairo_surface_flush(source);
    std::uint8_t* data = cairo_image_surface_get_data(source);
    const int stride = cairo_image_surface_get_stride(source);
    for (int y = 0; y < kImage; ++y)
        for (int x = 0; x < kImage; ++x) {
            const std::uint8_t* s = &raw[std::size_t((y * kImage + x) * 4)];
            std::uint8_t* d = data + y * stride + x * 4;
            const int a = s[3];
            d[0] = std::uint8_t(s[0] * a / 255), d[1] = std::uint8_t(s[1] * a / 255), d[2] = std::uint8_t(s[2] * a / 255);
            d[3] = std::uint8_t(a);
        }
    cairo_surface_mark_dirty(source);
    const int size = int(std::ceil(kImage * ratio));
    for (auto _ : state) {
        cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* cr = cairo_create(target);
        cairo_scale(cr, ratio, ratio);
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
        cairo_paint(cr);
        cairo_surface_flush(target);
        cairo_destroy(cr);
        cairo_surface_destroy(target);
    }
    state.SetItemsProcessed(state.iterations() * kImage * kImage);
    cairo_surface_destroy(source);
}
BENCHMARK(BM_CairoScaledCopy)->Arg(10)->Arg(15)->Arg(30);

} // namespace
