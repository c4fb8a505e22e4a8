// The column span operations of CLinearBitmap: one column, rows y0 .. y1 - 1, per-row weights.
#include "Other/CLinearBitmap.h"
#include "support/PixelReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace tal {
namespace {

using test::blendRef;

struct SpanCase {
    const char* name;
    std::int32_t y0, y1;
};

// Runs a span operation on a 3 x 12 bitmap of random bytes and checks column 1 row by row against
// weightOf(k) / colourOf(k) (k counted from y0), everything else unchanged.
void checkSpan(const std::function<void(CLinearBitmap&, std::int32_t, std::int32_t)>& run,
               const std::function<long long(int, int)>& weightOf, const std::function<void(int, std::uint8_t*)>& colourOf,
               bool storeAtFull) {
    for (const SpanCase& c : {SpanCase{"inside", 2, 9}, SpanCase{"one row", 5, 6}, SpanCase{"empty", 6, 6},
                              SpanCase{"reversed", 8, 3}, SpanCase{"above the top", -4, 5},
                              SpanCase{"below the bottom", 7, 30}}) {
        SCOPED_TRACE(c.name);
        CLinearBitmap bm;
        ASSERT_EQ(bm.setSize(3, 12, false), nullptr);
        std::mt19937 rng(5);
        for (int i = 0; i < 3 * 12 * 4; ++i)
            bm.pixels()[i] = std::uint8_t(rng());
        std::vector<std::uint8_t> expected(bm.pixels(), bm.pixels() + 3 * 12 * 4);
        for (int y = std::max(c.y0, 0); y < std::min(c.y1, 12); ++y) {
            const int k = y - c.y0;
            std::uint8_t colour[4];
            colourOf(k, colour);
            std::uint8_t* p = &expected[std::size_t((y * 3 + 1) * 4)];
            const long long w = weightOf(k, c.y1 - c.y0);
            for (int i = 0; i < 4; ++i)
                p[i] = std::uint8_t(storeAtFull && w >= 32640 ? colour[i] : blendRef(p[i], colour[i], w));
        }
        run(bm, c.y0, c.y1);
        ASSERT_EQ(std::vector<std::uint8_t>(bm.pixels(), bm.pixels() + 3 * 12 * 4), expected);
    }
}

std::vector<std::uint32_t> table(int n, std::uint32_t seed, bool pixels) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> t(static_cast<std::size_t>(n));
    for (std::uint32_t& v : t)
        v = pixels ? std::uint32_t(rng()) : std::uint32_t(rng() % 32768);
    return t;
}

void solid(std::uint8_t* c) { c[0] = 40, c[1] = 180, c[2] = 250, c[3] = 255; }

TEST(CLinearBitmapSpans, AlphaTableRamp) {
    const std::vector<std::uint32_t> t = table(64, 1, false);
    for (auto [start, step] : {std::pair{0, 3000}, std::pair{32767, -2500}}) {
        SCOPED_TRACE(start);
        checkSpan([&](CLinearBitmap& bm, std::int32_t y0, std::int32_t y1) {
                      bm.spanAlphaTableRamp(t.data(), start, step, 40, 180, 250, 1, y0, y1);
                  },
                  [&](int k, int) { return (t[std::size_t(k)] * std::clamp<long long>(start + k * step, 0, 32767)) >> 15; },
                  [](int, std::uint8_t* c) { solid(c); }, false);
    }
}

TEST(CLinearBitmapSpans, ColourTableRamp) {
    const std::vector<std::uint32_t> t = table(64, 2, true);
    checkSpan([&](CLinearBitmap& bm, std::int32_t y0, std::int32_t y1) { bm.spanColourTableRamp(t.data(), 100, 2900, 1, y0, y1); },
              [](int k, int) { return 100 + k * 2900; },
              [&](int k, std::uint8_t* c) { std::memcpy(c, &t[std::size_t(k)], 4); }, false);
}

TEST(CLinearBitmapSpans, RampSpreadsTheWeightsOverTheRows) {
    // Weights from + k x trunc((to - from) / (rows - 1)); the rows count the whole span, clipped or not.
    for (auto [from, to] : {std::pair{1000, 30000}, std::pair{30000, 200}}) {
        SCOPED_TRACE(from);
        checkSpan([&](CLinearBitmap& bm, std::int32_t y0, std::int32_t y1) { bm.spanRamp(from, to, 40, 180, 250, 1, y0, y1); },
                  [&](int k, int rows) { return from + k * ((to - from) / (rows > 1 ? rows - 1 : 1)); }, [](int, std::uint8_t* c) { solid(c); }, false);
    }
}

TEST(CLinearBitmapSpans, AlphaTable) {
    const std::vector<std::uint32_t> t = table(64, 3, false);
    checkSpan([&](CLinearBitmap& bm, std::int32_t y0, std::int32_t y1) { bm.spanAlphaTable(t.data(), 40, 180, 250, 1, y0, y1); },
              [&](int k, int) { return t[std::size_t(k)]; }, [](int, std::uint8_t* c) { solid(c); }, false);
}

// Every byte value against the extreme colours and weights (weights above 32767 count as 32767),
// two rows at a time and the odd last row alike.
TEST(CLinearBitmapSpans, AlphaTableAtTheExtremes) {
    const std::uint32_t weights[] = {0, 1, 2, 127, 16383, 16384, 16385, 32639, 32640, 32766, 32767, 32768, 70000};
    for (const auto [r, g, b] : {std::array{0, 255, 128}, std::array{255, 0, 1}}) {
        for (int rows : {256, 255}) {
            SCOPED_TRACE(testing::Message() << r << " " << rows);
            CLinearBitmap bm;
            ASSERT_EQ(bm.setSize(1, 256, false), nullptr);
            std::vector<std::uint32_t> t(256);
            for (int y = 0; y < 256; ++y) {
                const std::uint8_t px[4] = {std::uint8_t(y), std::uint8_t(255 - y), std::uint8_t(y ^ 0x55), std::uint8_t(y * 7)};
                std::memcpy(bm.pixel(0, y), px, 4);
                t[std::size_t(y)] = weights[std::size_t(y * 5) % std::size(weights)];
            }
            bm.spanAlphaTable(t.data(), r, g, b, 0, 0, rows);
            for (int y = 0; y < 256; ++y) {
                const int c[4] = {r, g, b, 255};
                const std::uint8_t px[4] = {std::uint8_t(y), std::uint8_t(255 - y), std::uint8_t(y ^ 0x55), std::uint8_t(y * 7)};
                for (int i = 0; i < 4; ++i) {
                    const int expected =
                        y < rows ? blendRef(px[i], c[i], std::min<std::uint32_t>(t[std::size_t(y)], 32767)) : px[i];
                    ASSERT_EQ(bm.pixel(0, y)[i], expected) << y << " byte " << i;
                }
            }
        }
    }
}

TEST(CLinearBitmapSpans, ColourTableBlendsBelowFullWeightAndStoresFromIt) {
    const std::vector<std::uint32_t> t = table(64, 4, true);
    for (std::int32_t w : {129, 20000, 32639, 32640}) {
        SCOPED_TRACE(w);
        checkSpan([&](CLinearBitmap& bm, std::int32_t y0, std::int32_t y1) { bm.spanColourTable(t.data(), w, 1, y0, y1); },
                  [&](int, int) { return w; }, [&](int k, std::uint8_t* c) { std::memcpy(c, &t[std::size_t(k)], 4); }, true);
    }
}

TEST(CLinearBitmapSpans, ColumnsOutsideTheBitmapDrawNothing) {
    const std::vector<std::uint32_t> t(16, 0xFFFFFFFFu);
    CLinearBitmap bm;
    ASSERT_EQ(bm.setSize(3, 4, true), nullptr);
    for (std::int32_t x : {-1, 3, 1000}) {
        bm.spanAlphaTableRamp(t.data(), 32767, 0, 255, 255, 255, x, 0, 4);
        bm.spanColourTableRamp(t.data(), 32767, 0, x, 0, 4);
        bm.spanRamp(32767, 32767, 255, 255, 255, x, 0, 4);
        bm.spanAlphaTable(t.data(), 255, 255, 255, x, 0, 4);
        bm.spanColourTable(t.data(), 32767, x, 0, 4);
    }
    EXPECT_EQ(std::vector<std::uint8_t>(bm.pixels(), bm.pixels() + 48), std::vector<std::uint8_t>(48, 0));
}

} // namespace
} // namespace tal
