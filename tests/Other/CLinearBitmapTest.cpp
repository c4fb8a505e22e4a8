#include "Other/CLinearBitmap.h"

#include "Other/CColor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tal {
namespace {

// Fills every byte with a pattern that differs per pixel and channel.
void pattern(CLinearBitmap& bm, int seed) {
    for (std::int32_t y = 0; y < bm.height(); ++y)
        for (std::int32_t i = 0; i < bm.width() * 4; ++i)
            bm.pixel(0, y)[i] = std::uint8_t((i * 31 + y * 17 + seed * 7) & 255);
}

std::vector<std::uint8_t> bytesOf(const CLinearBitmap& bm) {
    std::vector<std::uint8_t> v;
    for (std::int32_t y = 0; y < bm.height(); ++y)
        v.insert(v.end(), bm.pixel(0, y), bm.pixel(0, y) + bm.width() * 4);
    return v;
}

// The blend written with real division: p + floor(((s - p) w + 16384) / 32768).
int referenceBlend(int p, int s, int w) { return p + int(std::floor(((s - p) * double(w) + 16384.0) / 32768.0)); }

TEST(CLinearBitmap, FifteenBitBlendRoundsHalvesUp) {
    for (int w : {129, 1000, 16384, 20000, 32639, 32640}) {
        for (int p = 0; p < 256; p += 5)
            for (int s = 0; s < 256; s += 3)
                ASSERT_EQ(CLinearBitmap::blend15(p, s, w), referenceBlend(p, s, w)) << p << " " << s << " " << w;
    }
    EXPECT_EQ(CLinearBitmap::blend15(0, 255, 32639), 254);
}

TEST(CLinearBitmap, SetSizeKeepsOrFreesThePixels) {
    CLinearBitmap bm;
    EXPECT_EQ(bm.pixels(), nullptr);
    ASSERT_EQ(bm.setSize(5, 3, true), nullptr);
    EXPECT_EQ(bm.stride(), 20);
    for (std::uint8_t b : bytesOf(bm))
        ASSERT_EQ(b, 0);
    bm.pixel(4, 2)[3] = 9;
    ASSERT_EQ(bm.setSize(5, 3, true), nullptr);   // same size: not even cleared
    EXPECT_EQ(bm.pixel(4, 2)[3], 9);
    ASSERT_EQ(bm.setSize(0, 3, true), nullptr);
    EXPECT_EQ(bm.pixels(), nullptr);
    EXPECT_EQ(bm.width(), 0);
    EXPECT_EQ(bm.height(), 0);
}

// The weight thresholds: below 129 nothing, 129 to 32639 blended, from 32640 stored.
TEST(CLinearBitmap, FillRectWeightThresholdsAndColours) {
    CColor color;
    color.buildLinearRamp(200, 100, 0);
    struct Case {
        int weight;
        int index;
        std::uint8_t expect[4];
    };
    const Case cases[] = {
        {128, 255, {10, 10, 10, 10}},
        {129, 255, {std::uint8_t(referenceBlend(10, 200, 129)), std::uint8_t(referenceBlend(10, 100, 129)),
                    std::uint8_t(referenceBlend(10, 0, 129)), std::uint8_t(referenceBlend(10, 255, 129))}},
        {32639, 255, {std::uint8_t(referenceBlend(10, 200, 32639)), std::uint8_t(referenceBlend(10, 100, 32639)), 0, 254}},
        {32640, 255, {200, 100, 0, 255}},
        {32768, 128, {100, 50, 0, 255}},
        {32768, 256, {255, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.weight * 1000 + c.index);
        CLinearBitmap bm;
        ASSERT_EQ(bm.setSize(4, 4, false), nullptr);
        std::memset(bm.pixels(), 10, 64);
        bm.fillRect(CPixelRect{1, 1, 2, 2}, color, c.index, c.weight / 32768.0);
        EXPECT_EQ(0, std::memcmp(bm.pixel(1, 1), c.expect, 4));
        EXPECT_EQ(0, std::memcmp(bm.pixel(2, 2), c.expect, 4));
        EXPECT_EQ(bm.pixel(0, 0)[0], 10);   // outside the rectangle
        EXPECT_EQ(bm.pixel(3, 2)[0], 10);
    }
    // The colour's own opacity is part of the weight; a colour without ramp fills white.
    CLinearBitmap bm;
    ASSERT_EQ(bm.setSize(1, 1, true), nullptr);
    CColor faint;
    faint.buildToneRamp(255, 255, 255, 1.0, 0.003, 0.0);   // 0.003 x 32768 = 98: nothing
    bm.fillRect(CPixelRect{0, 0, 1, 1}, faint, 255, 1.0);
    EXPECT_EQ(bm.pixel(0, 0)[0], 0);
    CColor none;
    bm.fillRect(CPixelRect{0, 0, 1, 1}, none, 3, 1.0);
    EXPECT_EQ(bm.pixel(0, 0)[1], 255);
}

TEST(CLinearBitmap, LinesIncludeBothEnds) {
    CLinearBitmap bm;
    ASSERT_EQ(bm.setSize(6, 6, true), nullptr);
    bm.drawHLine(2, 2, 1, 9, 8, 7, 32768);
    bm.drawHLine(4, 3, 2, 9, 8, 7, 32768);   // x1 < x0: nothing
    bm.drawVLine(5, 1, 4, 1, 2, 3, 32768);
    bm.drawVLine(0, 3, 3, 50, 50, 50, 16384);   // a half blend from 0
    int painted = 0;
    for (std::int32_t y = 0; y < 6; ++y)
        for (std::int32_t x = 0; x < 6; ++x)
            painted += bm.pixel(x, y)[3] != 0;
    EXPECT_EQ(painted, 1 + 4 + 1);
    EXPECT_EQ(bm.pixel(2, 1)[0], 9);
    EXPECT_EQ(bm.pixel(5, 4)[2], 3);
    EXPECT_EQ(bm.pixel(5, 5)[2], 0);
    EXPECT_EQ(bm.pixel(0, 3)[0], referenceBlend(0, 50, 16384));
}

TEST(CLinearBitmap, XorTwiceRestoresAndLightenRaisesDarkBytes) {
    CLinearBitmap bm;
    ASSERT_EQ(bm.setSize(7, 5, false), nullptr);
    pattern(bm, 1);
    const std::vector<std::uint8_t> before = bytesOf(bm);
    bm.xorRect(CPixelRect{1, 1, 4, 3}, 255, 255, 255, 64);
    EXPECT_EQ(bm.pixel(1, 1)[2], before[std::size_t(7 * 4 + 4 + 2)] ^ 64);
    EXPECT_EQ(bm.pixel(1, 1)[3], before[std::size_t(7 * 4 + 4 + 3)] ^ 255);
    bm.xorRect(CPixelRect{1, 1, 4, 3}, 255, 255, 255, 64);
    EXPECT_EQ(bytesOf(bm), before);
    bm.lighten();
    const std::vector<std::uint8_t> after = bytesOf(bm);
    for (std::size_t i = 0; i < after.size(); ++i)
        ASSERT_EQ(after[i], before[i] <= 239 ? before[i] + 16 : before[i]) << i;
}

TEST(CLinearBitmap, CopiesResizeAndClip) {
    CLinearBitmap src;
    ASSERT_EQ(src.setSize(8, 6, false), nullptr);
    pattern(src, 2);
    CLinearBitmap dst;
    dst.copyFrom(src);
    EXPECT_EQ(bytesOf(dst), bytesOf(src));

    CLinearBitmap part;
    ASSERT_EQ(part.setSize(3, 3, true), nullptr);
    part.copyRect(src, CPixelRect{2, 1, 3, 2});   // resized to the source first
    ASSERT_EQ(part.width(), 8);
    EXPECT_EQ(0, std::memcmp(part.pixel(2, 1), src.pixel(2, 1), 12));
    EXPECT_EQ(0, std::memcmp(part.pixel(2, 2), src.pixel(2, 2), 12));

    // Moved up and left past the edges: only the overlapping part arrives, from matching pixels.
    CLinearBitmap target;
    ASSERT_EQ(target.setSize(4, 4, true), nullptr);
    target.copyRectOffset(src, -3, -2, CPixelRect{1, 1, 5, 4});
    for (std::int32_t y = 0; y < 4; ++y)
        for (std::int32_t x = 0; x < 4; ++x) {
            const bool inside = x + 3 >= 1 && x + 3 < 6 && y + 2 >= 1 && y + 2 < 5 && x < 3 && y < 3;
            const std::uint8_t zero[4] = {0, 0, 0, 0};
            EXPECT_EQ(0, std::memcmp(target.pixel(x, y), inside ? src.pixel(x + 3, y + 2) : zero, 4)) << x << "," << y;
        }
    target.copyRectOffset(src, 100, 0, CPixelRect{0, 0, 8, 6});   // entirely outside: nothing
}

TEST(CLinearBitmap, BlendRectMatchesTheByteFormulaOnWideRows) {
    // Rows wide enough for the sixteen-byte steps, with a tail, and weights from the lowest blended
    // one to the highest.
    for (const double opacity : {129.0 / 32768.0, 0.25, 0.5, 0.6, 32639.0 / 32768.0}) {
        CLinearBitmap a, b;
        ASSERT_EQ(a.setSize(37, 3, false), nullptr);
        ASSERT_EQ(b.setSize(37, 3, false), nullptr);
        pattern(a, 5);
        pattern(b, 29);
        const std::vector<std::uint8_t> original = bytesOf(a);
        a.blendRect(b, CPixelRect{1, 0, 35, 3}, opacity);
        const int w = int(std::floor(opacity * 32768 + 0.5));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 37; ++x)
                for (int c = 0; c < 4; ++c) {
                    const std::uint8_t before = original[std::size_t(y * a.stride() + 4 * x + c)];
                    const int expected = x == 0 || x == 36 ? before : referenceBlend(before, b.pixel(x, y)[c], w);
                    ASSERT_EQ(int(a.pixel(x, y)[c]), expected) << opacity << " " << x << " " << y << " " << c;
                }
    }
}

TEST(CLinearBitmap, BlendRectCrossFadesBitmapsOfTheSameSize) {
    CLinearBitmap a, b, other;
    ASSERT_EQ(a.setSize(5, 4, false), nullptr);
    ASSERT_EQ(b.setSize(5, 4, false), nullptr);
    ASSERT_EQ(other.setSize(4, 4, true), nullptr);
    pattern(a, 3);
    pattern(b, 11);
    const std::vector<std::uint8_t> original = bytesOf(a);
    a.blendRect(other, CPixelRect{0, 0, 4, 4}, 0.5);
    EXPECT_EQ(bytesOf(a), original);   // sizes differ: nothing
    a.blendRect(b, CPixelRect{1, 1, 3, 2}, 0.3);
    const int w = int(std::floor(0.3 * 32768 + 0.5));
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(a.pixel(2, 2)[c], referenceBlend(original[std::size_t(2 * 20 + 8 + c)], b.pixel(2, 2)[c], w));
    EXPECT_EQ(a.pixel(0, 0)[0], original[0]);
    a.blendFrom(b, 1.0);
    EXPECT_EQ(bytesOf(a), bytesOf(b));
}

TEST(CLinearBitmap, OperationsClipToTheBitmap) {
    // Each operation with a rectangle reaching outside must change exactly what it changes with the
    // rectangle cut to the bitmap (here 10 x 8), and nothing outside the pixel block.
    CColor colour;
    colour.buildLinearRamp(10, 200, 90);
    CLinearBitmap source;
    ASSERT_EQ(source.setSize(10, 8, false), nullptr);
    pattern(source, 9);
    struct Case {
        const char* name;
        CPixelRect outside, inside;
    };
    const Case rects[] = {{"left and top", {-5, -3, 9, 6}, {0, 0, 4, 3}},
                          {"right and bottom", {6, 5, 20, 20}, {6, 5, 4, 3}},
                          {"around", {-100, -100, 300, 300}, {0, 0, 10, 8}},
                          {"far away", {50, 50, 4, 4}, {0, 0, 0, 0}}};
    using Op = void (*)(CLinearBitmap&, const CLinearBitmap&, const CPixelRect&, const CColor&);
    const std::pair<const char*, Op> ops[] = {
        {"fillRect", [](CLinearBitmap& b, const CLinearBitmap&, const CPixelRect& r, const CColor& c) { b.fillRect(r, c, 255, 0.6); }},
        {"xorRect", [](CLinearBitmap& b, const CLinearBitmap&, const CPixelRect& r, const CColor&) { b.xorRect(r, 255, 255, 255, 64); }},
        {"copyRect", [](CLinearBitmap& b, const CLinearBitmap& s, const CPixelRect& r, const CColor&) { b.copyRect(s, r); }},
        {"blendRect", [](CLinearBitmap& b, const CLinearBitmap& s, const CPixelRect& r, const CColor&) { b.blendRect(s, r, 0.4); }},
        {"hline", [](CLinearBitmap& b, const CLinearBitmap&, const CPixelRect& r, const CColor&) {
             b.drawHLine(r.x, r.x + r.width - 1, r.y, 1, 2, 3, 20000);
         }},
        {"vline", [](CLinearBitmap& b, const CLinearBitmap&, const CPixelRect& r, const CColor&) {
             b.drawVLine(r.x, r.y, r.y + r.height - 1, 1, 2, 3, 32640);
         }},
    };
    for (const auto& [name, op] : ops) {
        for (const Case& c : rects) {
            SCOPED_TRACE(::testing::Message() << name << ": " << c.name);
            CLinearBitmap clipped, reference;
            ASSERT_EQ(clipped.setSize(10, 8, false), nullptr);
            ASSERT_EQ(reference.setSize(10, 8, false), nullptr);
            pattern(clipped, 2);
            pattern(reference, 2);
            op(clipped, source, c.outside, colour);
            const bool lineInside = std::string(name) == "hline" ? c.outside.y >= 0 && c.outside.y < 8
                                  : std::string(name) == "vline" ? c.outside.x >= 0 && c.outside.x < 10
                                                                 : true;
            if (lineInside && c.inside.width > 0) {
                CPixelRect r = c.inside;
                if (std::string(name) == "hline")
                    r.y = c.outside.y;
                if (std::string(name) == "vline")
                    r.x = c.outside.x;
                op(reference, source, r, colour);
            }
            EXPECT_EQ(bytesOf(clipped), bytesOf(reference));
        }
    }
}

} // namespace
} // namespace tal
