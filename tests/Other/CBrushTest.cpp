#include "Other/CBrush.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CMemoryReaderStatic.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/LeBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>
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
                          {0.0, 1, -0.5}, {-1.0, 1, -0.5}, {std::nan(""), 1, -0.5},
                          // Beyond the range of a 32-bit size: still a 16-pixel mask of a 15-pixel circle.
                          {3e9, 16, 7.0}, {1e300, 16, 7.0}};
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
    const CBrush* huge = CBrushCache::getBrush(3e9);
    EXPECT_EQ(huge->size(), 16);
    EXPECT_EQ(huge->diameter(), 3e9);
    EXPECT_EQ(huge->maskByte(0, 0, 8, 8), 255);
}

std::vector<std::uint8_t> written(const CBrush& brush) {
    CWriteSeqBuffer out;
    EXPECT_EQ(brush.write(out), nullptr);
    CByteBuffer bytes;
    out.moveTo(bytes);
    return std::vector<std::uint8_t>(bytes.data(), bytes.data() + bytes.size());
}

TEST(CBrush, StreamFormRoundTripsInPlaceAndCopied) {
    CBrush built;
    built.build(2, 3.0);
    const std::vector<std::uint8_t> bytes = written(built);
    // origin f64, diameter f64, size, bits, length, then (4 x 4)^2 mask bytes.
    ASSERT_EQ(bytes.size(), 8u + 8 + 4 + 4 + 4 + 256);
    LeBytes head;
    head.f64(1.0).f64(3.0).i32(4).i32(2).i32(256);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 28), head.bytes());
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace);
        std::unique_ptr<CMemoryReader> in = inPlace
            ? std::make_unique<CMemoryReaderStatic>(bytes.data(), std::int32_t(bytes.size()))
            : std::make_unique<CMemoryReader>(bytes.data(), std::int32_t(bytes.size()));
        CBrush read;
        ASSERT_EQ(read.read(*in), nullptr);
        EXPECT_EQ(read.isInPlace(), inPlace);
        if (inPlace) {
            EXPECT_EQ(read.masks(), bytes.data() + 28);
        }
        EXPECT_EQ(read.size(), 4);
        EXPECT_EQ(read.subPixelBits(), 2);
        EXPECT_EQ(read.diameter(), 3.0);
        EXPECT_EQ(read.originOffset(), 1.0);
        for (int py = 0; py < 4; ++py)
            for (int r = 0; r < 4; ++r)
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(read.maskByte(1, py, k, r), built.maskByte(1, py, k, r));
        EXPECT_EQ(written(read), bytes);
    }
}

TEST(CBrush, DamagedStreamFormIsRefusedAndTheBrushKept) {
    struct Case {
        const char* name;
        double origin, diameter;
        std::int32_t size, bits, length, actual;
    };
    const Case cases[] = {
        {"size 0", 0.0, 0.0, 0, 0, 0, 0},
        {"size 17", 0.0, 3.0, 17, 0, 289, 289},
        {"negative bits", 0.0, 3.0, 4, -1, 16, 16},
        {"bits 31", 0.0, 3.0, 4, 31, 16, 16},
        {"short masks", 1.0, 3.0, 4, 1, 63, 63},
        {"long masks", 1.0, 3.0, 4, 1, 65, 65},
        {"length past the end", 1.0, 3.0, 4, 1, 64, 10},
        {"NaN diameter", 1.0, std::nan(""), 4, 1, 64, 64},
        {"negative diameter", 1.0, -2.0, 4, 1, 64, 64},
        {"infinite origin", INFINITY, 3.0, 4, 1, 64, 64},
    };
    for (const Case& c : cases) {
        for (bool inPlace : {false, true}) {
            SCOPED_TRACE(::testing::Message() << c.name << (inPlace ? " in place" : ""));
            LeBytes b;
            b.f64(c.origin).f64(c.diameter).i32(c.size).i32(c.bits).i32(c.length);
            b.raw(std::vector<std::uint8_t>(std::size_t(c.actual), 7));
            std::unique_ptr<CMemoryReader> in = inPlace ? std::make_unique<CMemoryReaderStatic>(b.data(), b.size())
                                                        : std::make_unique<CMemoryReader>(b.data(), b.size());
            CBrush brush;
            brush.build(0, 2.0);
            CError* err = brush.read(*in);
            ASSERT_NE(err, nullptr);
            delete err;
            EXPECT_EQ(brush.size(), 3);
            EXPECT_EQ(brush.diameter(), 2.0);
            EXPECT_FALSE(brush.isInPlace());
        }
    }
}

TEST(CBrush, ClearEmptiesTheBrush) {
    CBrush brush;
    brush.build(4, 6.0);
    brush.clear();
    EXPECT_EQ(brush.size(), 0);
    EXPECT_EQ(brush.subPixelBits(), 0);
    EXPECT_EQ(brush.diameter(), 0.0);
    EXPECT_EQ(brush.originOffset(), 0.0);
    EXPECT_EQ(brush.maskLength(), 0);
}

} // namespace
} // namespace tal
