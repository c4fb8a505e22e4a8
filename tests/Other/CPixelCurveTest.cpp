#include "Other/CColor.h"
#include "Other/CCurveDraw.h"
#include "Other/CLinearBitmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace tal {
namespace {

struct Canvas {
    CLinearBitmap bitmap;
    CColor color;
    explicit Canvas(int w = 20, int h = 24) {
        EXPECT_EQ(bitmap.setSize(w, h, true), nullptr);
        color.buildLinearRamp(200, 100, 50);
    }
    CCurveDraw record(const std::vector<double>& points, double opacity = 1.0) const {
        CCurveDraw r;
        r.points = points.data();
        r.count = std::int32_t(points.size() / 2);
        r.color = &color;
        r.opacity = opacity;
        return r;
    }
    CPixelRect all() const { return CPixelRect{0, 0, bitmap.width(), bitmap.height()}; }
    std::set<std::pair<int, int>> painted() const {
        std::set<std::pair<int, int>> s;
        for (int y = 0; y < bitmap.height(); ++y)
            for (int x = 0; x < bitmap.width(); ++x)
                if (bitmap.pixel(x, y)[0] != 0)
                    s.insert({x, y});
        return s;
    }
};

TEST(CPixelCurve, LastSegmentDrawsItsEndJoinedPointsOnce) {
    Canvas c;
    const std::vector<double> line{0, 5, 10, 5};
    c.bitmap.drawPixelCurve(c.record(line), 0, 0, c.all());
    std::set<std::pair<int, int>> expect;
    for (int x = 0; x <= 10; ++x)
        expect.insert({x, 5});
    EXPECT_EQ(c.painted(), expect);
    EXPECT_EQ(c.bitmap.pixel(3, 5)[0], 200);
    EXPECT_EQ(c.bitmap.pixel(3, 5)[3], 255);

    // At half opacity a pixel drawn twice would be brighter: the shared point is drawn once.
    Canvas half;
    const std::vector<double> bend{2, 5, 8, 5, 8, 15};
    half.bitmap.drawPixelCurve(half.record(bend, 0.5), 0, 0, half.all());
    const int once = half.bitmap.pixel(4, 5)[0];
    EXPECT_EQ(once, 100);
    EXPECT_EQ(half.bitmap.pixel(8, 5)[0], once);
    EXPECT_EQ(half.bitmap.pixel(8, 10)[0], once);
    EXPECT_EQ(half.bitmap.pixel(8, 15)[0], once);   // the final end pixel
    EXPECT_EQ(half.bitmap.pixel(8, 16)[0], 0);
}

// Every segment is an 8-connected run of max(dx, dy) pixels from its start, each within half a
// pixel of the ideal line across its major axis.
TEST(CPixelCurve, BresenhamSegmentsFollowTheLine) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> coord(1, 38);
    for (int n = 0; n < 300; ++n) {
        Canvas c(40, 40);
        const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        SCOPED_TRACE(testing::Message() << x0 << "," << y0 << " - " << x1 << "," << y1);
        c.bitmap.drawLineSolid(x0, y0, x1, y1, 255, 255, 255);
        const auto pixels = c.painted();
        const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
        ASSERT_EQ(int(pixels.size()), std::max(1, std::max(dx, dy)));
        EXPECT_TRUE(pixels.count({x0, y0}));
        EXPECT_FALSE((dx || dy) && pixels.count({x1, y1}));
        for (const auto& [x, y] : pixels) {
            if (dx > dy) {
                const double ideal = y0 + double(y1 - y0) * (x - x0) / (x1 - x0);
                EXPECT_LE(std::fabs(y - ideal), 0.5 + 1e-9) << x << "," << y;
            } else if (dy > 0) {
                const double ideal = x0 + double(x1 - x0) * (y - y0) / (y1 - y0);
                EXPECT_LE(std::fabs(x - ideal), 0.5 + 1e-9) << x << "," << y;
            }
        }
    }
    // An end in the bitmap's last column is drawn.
    Canvas edge(20, 20);
    edge.bitmap.drawLineSolid(3, 4, 19, 6, 255, 255, 255);
    EXPECT_TRUE(edge.painted().count({19, 6}));
}

TEST(CPixelCurve, ColumnCurveMeetsItsNeighboursHalfway) {
    Canvas c;
    const std::vector<double> points{3, 10, 4, 16, 5, 16};
    c.bitmap.drawColumnCurve(c.record(points), 0, 0, c.all());
    std::set<std::pair<int, int>> expect;
    for (int y = 10; y <= 12; ++y)
        expect.insert({3, y});
    for (int y = 13; y <= 16; ++y)
        expect.insert({4, y});
    expect.insert({5, 16});
    EXPECT_EQ(c.painted(), expect);
}

// Drawing through a narrow clip gives exactly the pixels of a full draw inside the clip, so the
// culled points never change the picture (the first visible column still connects).
TEST(CPixelCurve, ColumnCurveCullingKeepsThePicture) {
    std::vector<double> points;
    for (int i = 0; i < 300; ++i)
        points.insert(points.end(), {-140.0 + i, 12.0 + 9.0 * std::sin(i * 0.3)});
    for (const int originX : {0, 5, -30}) {
        SCOPED_TRACE(originX);
        Canvas full(60, 24), narrow(60, 24);
        full.bitmap.drawColumnCurve(full.record(points), originX, 0, full.all());
        const CPixelRect clip{20, 3, 10, 15};
        narrow.bitmap.drawColumnCurve(narrow.record(points), originX, 0, clip);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 60; ++x) {
                const bool inside = x >= 20 && x < 30 && y >= 3 && y < 18;
                ASSERT_EQ(narrow.bitmap.pixel(x, y)[0], inside ? full.bitmap.pixel(x, y)[0] : 0) << x << "," << y;
            }
    }
}

} // namespace
} // namespace tal

namespace tal {
namespace {

int blendToward(int p, int s, int w) { return p + int(std::floor(((s - p) * double(w) + 16384.0) / 32768.0)); }

// A flat curve over a spectrum-style area (the peak at the area's bottom): the opacity rises
// linearly from the area top to the peak row, and the fill lies between the curve and that row.
struct AreaFill : ::testing::Test {
    Canvas c{12, 24};
    std::vector<double> points, lower;
    CCurveDraw record;
    void SetUp() override {
        for (int x = 0; x < 12; ++x)
            points.insert(points.end(), {double(x), 5.0});
        record = c.record(points);
        record.areaTop = 0.0;
        record.areaHeight = 20.0;
        record.edgeFactor = 0.0;
        record.peakFactor = 1.0;
        record.peakPosition = 1.0;
        record.alphaTableMode = true;
    }
    static int profileWeight(int row) {   // factor row / 20, as opacity weight
        return std::min(32767, int(std::floor(row / 20.0 * 32768.0 + 0.5)));
    }
};

TEST_F(AreaFill, AlphaModeFillsBetweenTheCurveAndThePeakRow) {
    c.bitmap.fillColumnArea(record, 0, 0, CPixelRect{2, 0, 8, 24});
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 24; ++y) {
            const bool filled = x >= 2 && x < 10 && y >= 6 && y < 20;
            ASSERT_EQ(c.bitmap.pixel(x, y)[0], filled ? blendToward(0, 200, profileWeight(y)) : 0) << x << "," << y;
        }
}

// The edge fade softens the curve's run: the weight rises over the run toward the fill.
TEST_F(AreaFill, EdgeFadeRampsOverTheCurveRun) {
    record.edgeFade = true;
    c.bitmap.fillColumnArea(record, 0, 0, c.all());
    EXPECT_EQ(c.bitmap.pixel(6, 3)[0], 0);
    EXPECT_EQ(c.bitmap.pixel(6, 4)[0], 0);   // weight 0 at the run's top
    EXPECT_EQ(c.bitmap.pixel(6, 5)[0], blendToward(0, 200, (profileWeight(5) * (32767 / 2)) >> 15));
    EXPECT_EQ(c.bitmap.pixel(6, 6)[0], blendToward(0, 200, profileWeight(6)));
}

TEST_F(AreaFill, AlphaModeBelowThePeakFillsUpToTheCurve) {
    for (std::size_t i = 1; i < points.size(); i += 2)
        points[i] = 22.0;
    c.bitmap.fillColumnArea(record, 0, 0, c.all());
    for (int y = 0; y < 24; ++y)
        EXPECT_EQ(c.bitmap.pixel(4, y)[0] != 0, y >= 20 && y <= 22) << y;
}

TEST_F(AreaFill, ColourModeFillsFromTheCurveToTheClipBottom) {
    record.alphaTableMode = false;
    record.edgeFactor = 1.0;   // a flat profile: every row gets the colour itself
    c.bitmap.fillColumnArea(record, 0, 0, c.all());
    for (int y = 0; y < 24; ++y) {
        EXPECT_EQ(c.bitmap.pixel(7, y)[0], y >= 6 ? 200 : 0) << y;
        EXPECT_EQ(c.bitmap.pixel(7, y)[1], y >= 6 ? 100 : 0) << y;
    }
}

// Between two curves the opacity falls from the peak factor under the upper curve to the edge
// factor at the lower one.
TEST_F(AreaFill, AlphaModeBetweenTwoCurvesRampsFromTheUpperCurve) {
    for (int x = 0; x < 12; ++x)
        lower.insert(lower.end(), {double(x), 14.0});
    record.lowerPoints = lower.data();
    record.lowerCurve = true;
    c.bitmap.fillColumnArea(record, 0, 0, c.all());
    EXPECT_EQ(c.bitmap.pixel(3, 5)[0], 0);     // the curve's own row is not filled
    EXPECT_EQ(c.bitmap.pixel(3, 6)[0], 200);   // full weight right under it
    for (int y = 7; y <= 14; ++y)
        EXPECT_LT(c.bitmap.pixel(3, y)[0], c.bitmap.pixel(3, y - 1)[0]) << y;
    EXPECT_LE(c.bitmap.pixel(3, 14)[0], 1);
    EXPECT_EQ(c.bitmap.pixel(3, 15)[0], 0);
}

} // namespace
} // namespace tal
