#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CCoverageBuffer.h"
#include "Other/CCurveDraw.h"
#include "Other/CLinearBitmap.h"
#include "support/PngWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace tal {
namespace {

struct Canvas {
    CLinearBitmap bitmap;
    CColor white;
    explicit Canvas(int w = 48, int h = 32) {
        EXPECT_EQ(bitmap.setSize(w, h, true), nullptr);
        white.buildLinearRamp(255, 255, 255);
    }
    CCurveDraw record(const std::vector<double>& points, double diameter) const {
        CCurveDraw r;
        r.points = points.data();
        r.count = std::int32_t(points.size() / 2);
        r.color = &white;
        r.brush = CBrushCache::getBrush(diameter);
        return r;
    }
    CPixelRect all() const { return CPixelRect{0, 0, bitmap.width(), bitmap.height()}; }
    std::vector<std::uint8_t> bytes() const {
        return std::vector<std::uint8_t>(bitmap.pixels(), bitmap.pixels() + bitmap.stride() * bitmap.height());
    }
};

TEST(CCurveRaster, OnePointDrawsNothingTwoEqualPointsDrawOneDot) {
    Canvas c;
    const std::vector<double> one{10, 10};
    c.bitmap.drawCurveAA(c.record(one, 3.0), 0, 0, c.all());
    for (std::uint8_t b : c.bytes())
        ASSERT_EQ(b, 0);
    const std::vector<double> dot{10, 10, 10, 10};
    c.bitmap.drawCurveAA(c.record(dot, 3.0), 0, 0, c.all());
    // The dot is centred on pixel (10, 10): the mask of phase (0, 0) at its top-left.
    const CBrush* brush = CBrushCache::getBrush(3.0);
    const CCoverageBuffer* cov = c.bitmap.coverageBuffer();
    ASSERT_NE(cov, nullptr);
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(cov->coverage(9 + k, 9 + r), brush->maskByte(0, 0, k, r)) << k << "," << r;
    EXPECT_EQ(c.bitmap.pixel(10, 10)[0], 254);   // coverage 255 blends at 32640: black becomes 254
    EXPECT_EQ(c.bitmap.pixel(20, 20)[0], 0);
}

// Coverage is the maximum of the stamps: repeating every point stamps some positions twice and
// changes no pixel (a sum would darken them).
TEST(CCurveRaster, RepeatedStampsTakeTheMaximum) {
    Canvas once, twice;
    const std::vector<double> path{4, 6, 30, 14, 40, 8};
    std::vector<double> repeated;
    for (std::size_t i = 0; i < path.size(); i += 2)
        repeated.insert(repeated.end(), {path[i], path[i + 1], path[i], path[i + 1]});
    once.bitmap.drawCurveAA(once.record(path, 2.5), 0, 0, once.all());
    twice.bitmap.drawCurveAA(twice.record(repeated, 2.5), 0, 0, twice.all());
    EXPECT_EQ(once.bytes(), twice.bytes());
    int covered = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            covered += once.bitmap.pixel(x, y)[1] > 0;
    EXPECT_GT(covered, 40);
}

// A horizontal stroke covers its rows evenly and nothing beyond the brush radius.
TEST(CCurveRaster, HorizontalStrokeIsEvenAndBounded) {
    Canvas c;
    const std::vector<double> line{5, 12, 40, 12};
    c.bitmap.drawCurveAA(c.record(line, 3.0), 0, 0, c.all());
    const int centre = c.bitmap.pixel(20, 12)[0];
    EXPECT_GE(centre, 250);
    for (int x = 8; x <= 37; ++x) {
        EXPECT_EQ(c.bitmap.pixel(x, 12)[0], centre) << x;
        EXPECT_EQ(c.bitmap.pixel(x, 11)[0], c.bitmap.pixel(x, 13)[0]) << x;   // symmetric about the line
        EXPECT_EQ(c.bitmap.pixel(x, 9)[0], 0) << x;
        EXPECT_EQ(c.bitmap.pixel(x, 15)[0], 0) << x;
    }
    // The clip limits the written pixels.
    Canvas clipped;
    clipped.bitmap.drawCurveAA(clipped.record(line, 3.0), 0, 0, CPixelRect{10, 0, 5, 32});
    for (int x = 0; x < 48; ++x)
        EXPECT_EQ(clipped.bitmap.pixel(x, 12)[0] != 0, x >= 10 && x < 15) << x;
}

// Strokes leaving the bitmap are clipped within the margin; the origin moves the points.
TEST(CCurveRaster, StrokesBeyondTheEdgesAndOrigins) {
    Canvas c(20, 20);
    const std::vector<double> wild{-500, -300, 10, 10, 900, 40, 1e9, 1e9, std::nan(""), 3};
    c.bitmap.drawCurveAA(c.record(wild, 6.0), 0, 0, c.all());
    EXPECT_GT(c.bitmap.pixel(10, 10)[0], 200);
    Canvas moved(20, 20);
    const std::vector<double> dot{30, 25, 30, 25};
    moved.bitmap.drawCurveAA(moved.record(dot, 3.0), -20, -15, moved.all());
    EXPECT_EQ(moved.bitmap.pixel(10, 10)[0], 254);
}

// Dropping the points a column curve cannot show changes no pixel.
TEST(CCurveRaster, ColumnCurveCullingKeepsThePicture) {
    std::vector<double> points;
    for (int i = 0; i < 400; ++i)
        points.insert(points.end(), {-150.0 + i, 16.0 + 10.0 * std::sin(i * 0.05)});
    for (const CPixelRect clip : {CPixelRect{0, 0, 48, 32}, CPixelRect{10, 0, 20, 32}}) {
        for (int originX : {0, 7, -60}) {
            SCOPED_TRACE(clip.x * 1000 + originX);
            Canvas full, culled;
            full.bitmap.drawCurveAA(full.record(points, 2.0), originX, 0, clip);
            culled.bitmap.drawColumnCurveAA(culled.record(points, 2.0), originX, 0, clip);
            EXPECT_EQ(full.bytes(), culled.bytes());
        }
    }
}

TEST(CCurveRaster, ResizedBitmapGetsANewBuffer) {
    Canvas c(16, 16);
    const std::vector<double> line{0, 0, 15, 15};
    c.bitmap.drawCurveAA(c.record(line, 2.0), 0, 0, c.all());
    ASSERT_EQ(c.bitmap.setSize(40, 30, true), nullptr);
    const std::vector<double> low{0, 29, 39, 29};
    c.bitmap.drawCurveAA(c.record(low, 2.0), 0, 0, CPixelRect{0, 0, 40, 30});
    Canvas fresh(40, 30);
    fresh.bitmap.drawCurveAA(fresh.record(low, 2.0), 0, 0, fresh.all());
    EXPECT_EQ(c.bytes(), fresh.bytes());
}

// An equaliser-like response: two bells and a shelf over 600 columns, y in pixels.
std::vector<double> responseCurve(int width, int height) {
    std::vector<double> points;
    for (int x = 0; x < width; ++x) {
        const double u = double(x) / width;
        const double db = 9.0 * std::exp(-std::pow((u - 0.3) / 0.06, 2)) - 6.0 * std::exp(-std::pow((u - 0.62) / 0.1, 2)) +
                          4.0 / (1.0 + std::exp(-(u - 0.85) * 40.0));
        points.push_back(x);
        points.push_back(height / 2.0 - db * height / 30.0);
    }
    return points;
}

TEST(CCurveRaster, ResponseCurveStrokeFollowsThePathAndLeavesTheRestAlone) {
    const int w = 600, h = 300;
    CLinearBitmap bm;
    ASSERT_EQ(bm.setSize(w, h, true), nullptr);
    const std::vector<double> points = responseCurve(w, h);
    CColor fill, line;
    fill.buildLinearRamp(60, 140, 255);
    line.buildLinearRamp(255, 220, 90);
    CCurveDraw area;
    area.points = points.data();
    area.count = w;
    area.color = &fill;
    area.opacity = 0.5;
    area.areaTop = 0;
    area.areaHeight = h;
    area.edgeFactor = 0.2;
    area.peakFactor = 1.0;
    area.peakPosition = 0.5;
    area.alphaTableMode = true;
    bm.fillColumnArea(area, 0, 0, CPixelRect{0, 0, w, h});
    CCurveDraw stroke = area;
    stroke.color = &line;
    stroke.opacity = 1.0;
    stroke.brush = CBrushCache::getBrush(2.5);
    bm.drawColumnCurveAA(stroke, 0, 0, CPixelRect{0, 0, w, h});
    writePng("response-curve", bm);
    // Along the stroke the line colour dominates; far above it (where no fill is) nothing is drawn.
    for (int x = 4; x < w - 4; x += 7) {
        SCOPED_TRACE(x);
        const int y = int(std::floor(points[std::size_t(2 * x + 1)] + 0.5));
        EXPECT_GE(bm.pixel(x, y)[0], 200);
        EXPECT_GE(bm.pixel(x, y)[1], 170);
        for (int above = 0; above < std::min(y - 4, h / 2 - 2); ++above)
            ASSERT_EQ(bm.pixel(x, above)[0], 0) << above;
    }
}

} // namespace
} // namespace tal
