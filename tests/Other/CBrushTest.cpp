#include "Other/CBrush.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tal {
namespace {

TEST(CBrush, SizesAndOrigins) {
    struct Case {
        double diameter;
        int size;
        double origin;
    };
    const Case cases[] = {{2.0, 3, 0.5}, {2.5, 4, 0.75}, {3.0, 4, 1.0}, {15.0, 16, 7.0}, {15.5, 16, 7.0}, {40.0, 16, 7.0},
                          {0.0, 1, -0.5}, {-1.0, 1, -0.5}, {std::nan(""), 1, -0.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.diameter);
        CBrush b;
        b.build(4, c.diameter);
        EXPECT_EQ(b.size(), c.size);
        EXPECT_EQ(b.originOffset(), c.origin);
        if (std::isfinite(c.diameter) && c.diameter >= 0) {
            EXPECT_EQ(b.diameter(), c.diameter);
        }
    }
    CBrush zero;
    zero.build(4, 0.0);
    for (int p = 0; p < 16; ++p)
        EXPECT_EQ(zero.maskByte(p, p, 0, 0), 0);
}

// Every phase's mask holds the circle's area (bytes of 255 per pixel), and stays inside its size.
TEST(CBrush, MasksIntegrateTheCircle) {
    for (double d : {1.5, 3.0, 6.25, 12.0}) {
        SCOPED_TRACE(d);
        CBrush b;
        b.build(4, d);
        const double area = std::numbers::pi * d * d / 4.0;
        for (int py = 0; py < 16; py += 5)
            for (int px = 0; px < 16; px += 3) {
                double sum = 0.0;
                for (int r = 0; r < b.size(); ++r)
                    for (int k = 0; k < b.size(); ++k)
                        sum += b.maskByte(px, py, k, r) / 255.0;
                EXPECT_NEAR(sum, area, 0.02 * area + 0.05) << px << "," << py;
            }
    }
}

TEST(CBrush, DiameterThreeCentredMask) {
    CBrush b;
    b.build(4, 3.0);
    ASSERT_EQ(b.size(), 4);
    EXPECT_EQ(b.maskByte(0, 0, 1, 1), 255);
    EXPECT_EQ(b.maskByte(0, 0, 0, 1), b.maskByte(0, 0, 2, 1));
    EXPECT_GT(b.maskByte(0, 0, 0, 1), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(b.maskByte(0, 0, i, 3), 0);
        EXPECT_EQ(b.maskByte(0, 0, 3, i), 0);
    }
}

TEST(CBrush, CacheReturnsOneBrushPerExactDiameter) {
    const CBrush* a = CBrushCache::getBrush(3.0);
    EXPECT_EQ(CBrushCache::getBrush(3.0), a);
    const CBrush* b = CBrushCache::getBrush(std::nextafter(3.0, 4.0));
    EXPECT_NE(b, a);
    EXPECT_EQ(a->diameter(), 3.0);
    EXPECT_EQ(CBrushCache::getBrush(std::nan("")), CBrushCache::getBrush(0.0));
}

} // namespace
} // namespace tal
