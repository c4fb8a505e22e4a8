#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CCoverageBuffer.h"
#include "Other/CCurveDraw.h"
#include "Other/CLinearBitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace tal {
namespace {

TEST(CCoverageBuffer, ClipSegmentMovesEndsOntoTheBox) {
    const double box[4] = {0.0, 0.0, 10.0, 20.0};
    struct Case {
        double in[4];
        bool rejected;
        double out[4];
    };
    const Case cases[] = {
        {{1, 1, 9, 19}, false, {1, 1, 9, 19}},          // inside: untouched
        {{-10, 5, 20, 5}, false, {0, 5, 10, 5}},        // across both x edges
        {{5, -10, 5, 30}, false, {5, 0, 5, 20}},        // across both y edges
        {{-5, -5, 5, 5}, false, {0, 0, 5, 5}},          // through the corner
        {{-5, 0, 5, 10}, false, {0, 5, 5, 10}},         // y moves with x along the line
        {{-5, 1, -1, 30}, true, {-5, 1, -1, 30}},       // wholly left
        {{11, 21, 30, 40}, true, {11, 21, 30, 40}},     // wholly below-right
        {{-10, 15, 5, 30}, true, {-10, 15, 5, 30}},     // misses the corner: rejected after moving
    };
    for (const Case& c : cases) {
        double x0 = c.in[0], y0 = c.in[1], x1 = c.in[2], y1 = c.in[3];
        SCOPED_TRACE(testing::Message() << x0 << "," << y0 << " " << x1 << "," << y1);
        EXPECT_EQ(CCoverageBuffer::clipSegment(box, x0, y0, x1, y1), c.rejected);
        EXPECT_DOUBLE_EQ(x0, c.out[0]);
        EXPECT_DOUBLE_EQ(y0, c.out[1]);
        EXPECT_DOUBLE_EQ(x1, c.out[2]);
        EXPECT_DOUBLE_EQ(y1, c.out[3]);
    }
}

// A plain rendition of the coverage rule: a full grid with the 16-pixel margin, every stamp of every
// segment taking the maximum with what is there (no row extents, 64-bit positions throughout), then
// the blend of every covered pixel inside both the clip and the bitmap.
void referenceDraw(std::vector<std::uint8_t>& pixels, int width, int height, const std::vector<double>& points,
                   const CBrush& brush, int originX, int originY, const CPixelRect& clip, const std::uint8_t colour[4]) {
    const int gw = width + 32, gh = height + 32, size = brush.size(), s = brush.subPixelBits();
    std::vector<std::uint8_t> grid(std::size_t(gw) * std::size_t(gh), 0);
    auto stamp = [&](std::int64_t x, std::int64_t y) {
        const std::int64_t u = x >> 20, v = y >> 20;
        const int px = int((x >> (20 - s)) & ((1 << s) - 1)), py = int((y >> (20 - s)) & ((1 << s) - 1));
        for (int r = 0; r < size; ++r)
            for (int k = 0; k < size; ++k) {
                // The clip box keeps every stamp in the grid; at() would throw otherwise.
                std::uint8_t& g = grid.at(std::size_t((v + r) * gw + u + k));
                g = std::max(g, brush.maskByte(px, py, k, r));
            }
    };
    auto nearest = [](double v) { return std::int64_t(v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v)); };
    const double box[4] = {1e-5, 1e-5, gw - size - 1e-5, gh - size - 1e-5};
    const double o = brush.originOffset();
    const int count = int(points.size() / 2);
    bool lastAccepted = false;
    double endX = 0, endY = 0;
    for (int i = 0; i + 1 < count; ++i) {
        double x0 = points[2 * i] + originX + 16 - o, y0 = points[2 * i + 1] + originY + 16 - o;
        double x1 = points[2 * i + 2] + originX + 16 - o, y1 = points[2 * i + 3] + originY + 16 - o;
        lastAccepted = !CCoverageBuffer::clipSegment(box, x0, y0, x1, y1);
        if (!lastAccepted)
            continue;
        const double dx = x1 - x0, dy = y1 - y0;
        const std::int64_t n = std::max<std::int64_t>(1, std::int64_t(std::floor(std::sqrt(dx * dx + dy * dy) * 3.7 * (1.0 / brush.diameter()))));
        const double step = 1048576.0 / double(n);
        std::int64_t sx = nearest(dx * step), sy = nearest(dy * step);
        const std::int64_t fx = std::int64_t(std::floor(x0 * 1048576.0)), fy = std::int64_t(std::floor(y0 * 1048576.0));
        // Rounded steps that would carry the last stamp off the grid are truncated instead.
        const auto off = [size](std::int64_t last, int extent) { return last < 0 || (last >> 20) > extent - size; };
        if (off(fx + (n - 1) * sx, gw))
            sx = std::int64_t(dx * step);
        if (off(fy + (n - 1) * sy, gh))
            sy = std::int64_t(dy * step);
        for (std::int64_t k = 0; k < n; ++k)
            stamp(fx + k * sx, fy + k * sy);
        endX = x1;
        endY = y1;
    }
    if (lastAccepted)
        stamp(std::int64_t(std::floor(endX * 1048576.0)), std::int64_t(std::floor(endY * 1048576.0)));
    const std::int64_t stride = 4 * std::int64_t(width);
    for (std::int64_t y = 0; y < height; ++y)
        for (std::int64_t x = 0; x < width; ++x) {
            if (x < clip.x || y < clip.y || x >= std::int64_t(clip.x) + clip.width || y >= std::int64_t(clip.y) + clip.height)
                continue;
            const int q = grid[std::size_t((y + 16) * gw + x + 16)];
            if (q < 3)
                continue;
            std::uint8_t* p = pixels.data() + y * stride + 4 * x;
            for (int c = 0; c < 4; ++c)
                p[c] = CLinearBitmap::blend15(p[c], colour[c], q * 128);
        }
}

// A background that shows any stray write: every byte differs from its neighbours.
void paintBackground(CLinearBitmap& bm) {
    for (int y = 0; y < bm.height(); ++y)
        for (int x = 0; x < bm.width(); ++x)
            for (int c = 0; c < 4; ++c)
                bm.pixel(x, y)[c] = std::uint8_t((x * 7 + y * 13 + c * 61) & 0x7F);
}

std::vector<std::uint8_t> bitmapBytes(const CLinearBitmap& bm) {
    std::vector<std::uint8_t> out;
    out.reserve(std::size_t(bm.width()) * std::size_t(bm.height()) * 4);
    for (int y = 0; y < bm.height(); ++y)
        out.insert(out.end(), bm.pixel(0, y), bm.pixel(0, y) + 4 * bm.width());
    return out;
}

// Strokes partly or wholly outside bitmaps of many widths (with positions far beyond 2^11 pixels
// in 20-bit fixed point), drawn through clips larger than the bitmap, agree with the plain
// reference pixel for pixel and write nothing outside the bitmap (AddressSanitizer checks that).
TEST(CCoverageBuffer, WideBitmapsAndOutsideStrokesMatchThePlainReference) {
    CColor colour;
    colour.buildLinearRamp(230, 120, 40);
    const std::uint8_t c[4] = {colour.tone(255)[0], colour.tone(255)[1], colour.tone(255)[2], 255};
    struct Size {
        int width, height;
    };
    // The last two are tall: rows beyond 2^11 too.
    const Size sizes[] = {{1, 20}, {2015, 24}, {2016, 24}, {2100, 24}, {4096, 20}, {3, 2100}, {40, 4096}};
    for (const Size sz : sizes) {
        const int w = sz.width, h = sz.height;
        const std::vector<std::vector<double>> strokes = {
            {-50.0, -6.0, w + 50.0, -6.0},                         // partly above the top edge
            {-50.0, -15.0, w + 50.0, -15.0},                       // in the margin: nothing to see
            {-30.0, h + 20.0, w + 30.0, -20.0},                    // corner to corner, both ends outside
            {w - 2.0, h + 5.0, w + 7.0, h / 2.0, w / 2.0, -3.0},   // leaves and re-enters
            {-1000.0, -1000.0, -500.0, -2000.0},                   // wholly outside
            {w / 3.0, h / 3.0, w * 0.9, h * 0.7, 0.5, h - 0.5},    // inside
            {3e9, 5.0, -3e9, 5.0},                                 // far beyond every edge
        };
        const CPixelRect clips[] = {
            {0, 0, w, h},
            {-16, -16, w + 64, h + 64},
            {0, -16, w, 64},
            {w / 3, h / 4, w / 2 + 1, h / 2 + 1},
            {-1000000, -1000000, 2000000 + w, 2000000 + h},
        };
        for (double diameter : {3.0, 14.0}) {
            const CBrush* brush = CBrushCache::getBrush(diameter);
            for (std::size_t si = 0; si < strokes.size(); ++si)
                for (std::size_t ci = 0; ci < std::size(clips); ++ci) {
                    SCOPED_TRACE(testing::Message() << w << "x" << h << " diameter " << diameter << " stroke " << si
                                                    << " clip " << ci);
                    CLinearBitmap bm;
                    ASSERT_EQ(bm.setSize(w, h, true), nullptr);
                    paintBackground(bm);
                    std::vector<std::uint8_t> expected = bitmapBytes(bm);
                    CCurveDraw record;
                    record.points = strokes[si].data();
                    record.count = std::int32_t(strokes[si].size() / 2);
                    record.color = &colour;
                    record.brush = brush;
                    bm.drawCurveAA(record, 0, 0, clips[ci]);
                    referenceDraw(expected, w, h, strokes[si], *brush, 0, 0, clips[ci], c);
                    const std::vector<std::uint8_t> got = bitmapBytes(bm);
                    ASSERT_EQ(got.size(), expected.size());
                    std::size_t firstDiff = got.size();
                    for (std::size_t i = 0; i < got.size() && firstDiff == got.size(); ++i)
                        if (got[i] != expected[i])
                            firstDiff = i;
                    ASSERT_EQ(firstDiff, got.size()) << "first differing pixel " << firstDiff / 4 % std::size_t(w) << ","
                                                     << firstDiff / 4 / std::size_t(w);
                }
        }
    }
}

// The stroke across a wide bitmap reaches its far end: nothing is cut where positions pass 2^11.
TEST(CCoverageBuffer, StrokeAcrossAWideBitmapCoversEveryColumn) {
    for (int w : {2016, 2100, 4096}) {
        SCOPED_TRACE(w);
        CLinearBitmap bm;
        ASSERT_EQ(bm.setSize(w, 16, true), nullptr);
        CColor white;
        white.buildLinearRamp(255, 255, 255);
        const std::vector<double> line{-20.0, 8.0, w + 20.0, 8.0};
        CCurveDraw record;
        record.points = line.data();
        record.count = 2;
        record.color = &white;
        record.brush = CBrushCache::getBrush(3.0);
        bm.drawCurveAA(record, 0, 0, CPixelRect{0, 0, w, 16});
        int covered = 0;
        for (int x = 0; x < w; ++x)
            covered += bm.pixel(x, 8)[0] >= 250;
        EXPECT_EQ(covered, w);
    }
}

// A brush of almost no diameter takes the most stamps a segment may have; their rounded steps
// would add up to half a pixel and carry a long slanted stroke off the buffer's top edge.
TEST(CCoverageBuffer, ManyStepsNeverLeaveTheBuffer) {
    const struct {
        int width, height;
        double diameter;
        std::vector<double> points;
    } cases[] = {
        {2536, 64, 4.8e-299, {-0.25, 207.25, 3583.75, -3442.75, -385.0, 27.75}},
        {300, 300, 1e-9, {-20.0, 310.0, 320.0, -16.5, 320.0, 320.0, -20.0, -20.0}},
        {64, 64, 0.0, {-16.4, 0.0, 80.0, -16.4}},
    };
    CColor white;
    white.buildLinearRamp(255, 255, 255);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        CLinearBitmap bm;
        ASSERT_EQ(bm.setSize(c.width, c.height, true), nullptr);
        CCurveDraw record;
        record.points = c.points.data();
        record.count = std::int32_t(c.points.size() / 2);
        record.color = &white;
        record.brush = CBrushCache::getBrush(c.diameter);
        bm.drawCurveAA(record, -1, 4, CPixelRect{-16, -16, c.width + 32, c.height + 32});
        // The buffer's rows stay consistent: every extent lies inside its row.
        const CCoverageBuffer* cov = bm.coverageBuffer();
        ASSERT_NE(cov, nullptr);
        for (int y = -16; y < c.height + 16; ++y)
            for (int x : {-17, c.width + 16})
                EXPECT_EQ(cov->coverage(x, y), 0) << x << "," << y;
    }
}

// One point per column across wide bitmaps: the culled column routine gives the reference picture.
TEST(CCoverageBuffer, ColumnCurveOnWideBitmapsMatchesThePlainReference) {
    CColor colour;
    colour.buildLinearRamp(90, 200, 255);
    const std::uint8_t c[4] = {colour.tone(255)[0], colour.tone(255)[1], colour.tone(255)[2], 255};
    for (int w : {1, 2015, 2016, 2100, 4096}) {
        const int h = 48;
        std::vector<double> points;
        for (int i = -40; i < w + 40; ++i)
            points.insert(points.end(), {double(i), h / 2.0 + (h * 0.8) * std::sin(i * 0.013)});
        for (const CPixelRect clip : {CPixelRect{0, 0, w, h}, CPixelRect{-16, -16, w + 64, h + 64}}) {
            SCOPED_TRACE(testing::Message() << w << " clip " << clip.x);
            CLinearBitmap bm;
            ASSERT_EQ(bm.setSize(w, h, true), nullptr);
            paintBackground(bm);
            std::vector<std::uint8_t> expected = bitmapBytes(bm);
            CCurveDraw record;
            record.points = points.data();
            record.count = std::int32_t(points.size() / 2);
            record.color = &colour;
            record.brush = CBrushCache::getBrush(2.5);
            bm.drawColumnCurveAA(record, 0, 0, clip);
            referenceDraw(expected, w, h, points, *record.brush, 0, 0, clip, c);
            EXPECT_TRUE(bitmapBytes(bm) == expected);
        }
    }
}

} // namespace
} // namespace tal
