#include "Other/CImageDraw.h"

#include "Other/CColor.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"
#include "support/PngWriter.h"
#include "support/PixelReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace tal {
namespace {

using test::blendRef;
int shiftRef(int p, int s, long long m, int k) { return p + int(std::floor((s - p) * double(m) / std::ldexp(1.0, k))); }

// Raw pixels in runs of random class and length, with runs of one repeated tone or colour.
std::vector<std::uint8_t> randomImage(int w, int h, int ch, std::mt19937& rng) {
    std::vector<std::uint8_t> raw(std::size_t(w * h * ch));
    std::size_t i = 0;
    const std::size_t n = std::size_t(w * h);
    while (i < n) {
        const int len = int(rng() % 9) + 1, kind = int(rng() % 4);
        const std::uint8_t alpha = kind == 0 ? std::uint8_t(rng() % 4) : kind == 1 ? std::uint8_t(4 + rng() % 250) : 255;
        std::uint8_t same[4] = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), 0};
        for (int k = 0; k < len && i < n; ++k, ++i) {
            std::uint8_t* p = &raw[i * std::size_t(ch)];
            for (int c = 0; c < ch; ++c)
                p[c] = kind == 3 ? same[c] : std::uint8_t(rng());
            p[ch == 1 ? 0 : ch == 2 ? 1 : 3] = alpha;
        }
    }
    return raw;
}

// Whether raw pixel x of a row lies in an opaque run whose tones are all equal (drawn as one
// repeated pixel): maximal opaque stretches, split every 8191 pixels.
std::vector<bool> repeatedOpaque(const std::uint8_t* row, int w, int ch) {
    std::vector<bool> out(std::size_t(w), false);
    auto opaque = [&](int x) { return row[x * ch + (ch == 1 ? 0 : ch == 2 ? 1 : 3)] >= 254; };
    int x = 0;
    while (x < w) {
        if (!opaque(x)) {
            ++x;
            continue;
        }
        int end = x;
        while (end < w && opaque(end) && end - x < 8191)
            ++end;
        bool same = true;
        for (int k = x + 1; k < end; ++k)
            same = same && (ch == 1 || std::equal(row + k * ch, row + k * ch + (ch == 4 ? 3 : 1), row + x * ch));
        for (int k = x; k < end; ++k)
            out[std::size_t(k)] = same;
        x = end;
    }
    return out;
}

// The span table applied pixel by pixel to one bitmap pixel.
void referencePixel(std::uint8_t* p, const std::uint8_t* s, int ch, bool repeated, bool translucent, int w,
                    const std::uint8_t* ramp) {
    const int a = s[ch == 1 ? 0 : ch == 2 ? 1 : 3];
    if (a <= 3)
        return;
    const bool opaque = a >= 254;
    const std::uint8_t* t = ramp + 4 * 255;
    if (ch == 1) {
        if (!translucent && opaque)
            std::copy(t, t + 4, p);
        else
            for (int c = 0; c < 3; ++c)
                p[c] = std::uint8_t(opaque ? shiftRef(p[c], t[c], w, 15)
                                           : translucent ? shiftRef(p[c], t[c], (long long)a * w, 23) : shiftRef(p[c], t[c], a, 8));
        return;
    }
    if (ch == 2) {
        const std::uint8_t* c4 = ramp + 4 * s[0];
        if (!translucent) {
            if (opaque)
                std::copy(c4, c4 + 4, p);
            else
                for (int c = 0; c < 3; ++c)
                    p[c] = std::uint8_t(shiftRef(p[c], c4[c], a, 8));
        } else if (!opaque) {
            for (int c = 0; c < 4; ++c)
                p[c] = std::uint8_t(blendRef(p[c], c4[c], (w >> 8) * a));
        } else if (repeated) {
            for (int c = 0; c < 3; ++c)
                p[c] = std::uint8_t(shiftRef(p[c], c4[c], w, 15));
        } else {
            for (int c = 0; c < 4; ++c)
                p[c] = std::uint8_t(blendRef(p[c], c4[c], w));
        }
        return;
    }
    const std::uint8_t colour[4] = {s[2], s[1], s[0], std::uint8_t(opaque ? 255 : a)};
    if (!translucent && opaque) {
        std::copy(colour, colour + 4, p);
        return;
    }
    const long long weight = opaque ? w : translucent ? (w >> 8) * a : a * 128;
    for (int c = 0; c < 4; ++c)
        p[c] = std::uint8_t(blendRef(p[c], colour[c], weight));
}

struct DrawCase {
    int channels;
    double opacity;
    int x, y;
    CPixelRect clip;
};

class CImageDrawSpans : public ::testing::TestWithParam<DrawCase> {};

TEST_P(CImageDrawSpans, DrawMatchesThePixelByPixelSpanTable) {
    const DrawCase& c = GetParam();
    std::mt19937 rng(std::uint32_t(c.channels * 1000 + c.x));
    const int w = 45, h = 13;
    const std::vector<std::uint8_t> raw = randomImage(w, h, c.channels, rng);
    CImageLayer layer;
    layer.init(0, w, h, 3, -2, 1.0, 0.0, 0, 0, 0, c.channels, 128, raw.data(), c.channels * 8);
    layer.encodeRuns(raw.data(), c.channels * 8);
    CColor tint;
    tint.buildToneRamp(200, 120, 40, 0.5, 1.0, 0.0);

    CLinearBitmap bm;
    ASSERT_EQ(bm.setSize(60, 20, false), nullptr);
    for (std::int32_t y = 0; y < 20; ++y)
        for (std::int32_t i = 0; i < 60 * 4; ++i)
            bm.pixel(0, y)[i] = std::uint8_t(rng());
    std::vector<std::uint8_t> expected(bm.pixels(), bm.pixels() + 60 * 20 * 4);

    CImageDraw record;
    CImageDraw::init(record, &layer, &tint, false, c.opacity);
    ASSERT_GT(record.weight, 0);
    EXPECT_EQ(record.translucent, record.weight < 32640);
    bm.drawImage(record, c.x, c.y, c.clip);

    const int left = c.x + 3, top = c.y - 2;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            const int lx = x - left, ly = y - top;
            if (lx < 0 || lx >= w || ly < 0 || ly >= h || x < c.clip.x || x >= c.clip.x + c.clip.width ||
                y < c.clip.y || y >= c.clip.y + c.clip.height)
                continue;
            const std::uint8_t* row = &raw[std::size_t(ly * w * c.channels)];
            const bool repeated = repeatedOpaque(row, w, c.channels)[std::size_t(lx)];
            referencePixel(&expected[std::size_t((y * 60 + x) * 4)], row + lx * c.channels, c.channels, repeated,
                           record.translucent, record.weight, tint.toneTable());
        }
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(int(bm.pixels()[i]), int(expected[i])) << "pixel " << i / 4 % 60 << "," << i / 240 << " byte " << i % 4;
}

INSTANTIATE_TEST_SUITE_P(
    Layers, CImageDrawSpans,
    ::testing::Values(DrawCase{1, 1.0, 5, 4, {0, 0, 60, 20}}, DrawCase{1, 0.6, 5, 4, {0, 0, 60, 20}},
                      DrawCase{2, 1.0, 5, 4, {0, 0, 60, 20}}, DrawCase{2, 0.6, 5, 4, {0, 0, 60, 20}},
                      DrawCase{4, 1.0, 5, 4, {0, 0, 60, 20}}, DrawCase{4, 0.6, 5, 4, {0, 0, 60, 20}},
                      // Clipped inside runs on the left and the right, and rows cut at top and bottom.
                      DrawCase{4, 1.0, 2, 3, {13, 5, 21, 7}}, DrawCase{2, 0.3, 2, 3, {11, 4, 30, 9}},
                      DrawCase{1, 0.8, 2, 3, {17, 6, 9, 4}},
                      // Partly outside the bitmap: the bitmap clips as well.
                      DrawCase{4, 0.7, -20, -6, {-100, -100, 400, 400}}, DrawCase{2, 1.0, 30, 12, {0, 0, 500, 500}}));

TEST(CImageDraw, RecordsThatDrawNothing) {
    const std::vector<std::uint8_t> raw(4 * 4, 255);
    CImageLayer prepared;
    prepared.init(0, 4, 4, 0, 0, 1.0, 0.0, 0, 0, 0, 1, 128, raw.data(), 8);
    CImageLayer rawLayer;
    rawLayer.init(0, 4, 4, 0, 0, 1.0, 0.0, 0, 0, 0, 1, 128, raw.data(), 8);
    rawLayer.assignBlock(raw.data(), 16, false);
    prepared.encodeRuns(raw.data(), 8);
    CImageLayer empty;
    empty.init(0, 0, 4, 0, 0, 1.0, 0.0, 0, 0, 0, 1, 128, nullptr, 8);
    empty.encodeRuns(nullptr, 8);
    CColor tint;
    tint.buildLinearRamp(255, 0, 0);
    CColor faint;
    faint.buildLinearRamp(255, 0, 0);
    faint.setOpacity(0.004);
    CColor noRamp;
    struct Case {
        const char* name;
        const CImageLayer* layer;
        const CColor* color;
        bool keep;
        double opacity;
    };
    const Case cases[] = {
        {"opacity below 0.005", &prepared, &tint, false, 0.0049},
        {"NaN opacity", &prepared, &tint, false, std::nan("")},
        {"colour opacity multiplied in", &prepared, &faint, false, 1.0},
        {"empty layer", &empty, &tint, false, 1.0},
        {"tinted layer without ramp", &prepared, &noRamp, false, 1.0},
        {"raw layer", &rawLayer, &tint, false, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CImageDraw record;
        CImageDraw::init(record, c.layer, c.color, c.keep, c.opacity);
        EXPECT_EQ(record.weight, 0);
        CLinearBitmap bm;
        ASSERT_EQ(bm.setSize(8, 8, true), nullptr);
        record.layer = c.layer;   // even a filled-in record must not draw a raw block
        bm.drawImage(record, 0, 0, CPixelRect{0, 0, 8, 8});
        EXPECT_EQ(std::vector<std::uint8_t>(bm.pixels(), bm.pixels() + 8 * 8 * 4), std::vector<std::uint8_t>(256, 0));
    }
    CImageDraw kept;
    CImageDraw::init(kept, &prepared, &faint, true, 1.0);
    EXPECT_EQ(kept.weight, 32768);   // the colour's own opacity is left out
    EXPECT_FALSE(kept.translucent);
}

TEST(CImageDraw, ScaledCopiesDrawnSideBySide) {
    // A soft disc with a hard ring, drawn at scale 2 and as copies at 1, 1.5 and 3: written as PNG
    // when TAL_PNG_DIR is set. The disc's centre keeps its colour at every scale.
    const int n = 48;
    std::vector<std::uint8_t> raw(std::size_t(n * n * 4));
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double d = std::hypot(x + 0.5 - n / 2.0, y + 0.5 - n / 2.0);
            std::uint8_t* p = &raw[std::size_t((y * n + x) * 4)];
            const bool ring = d > 17 && d < 20;
            p[0] = ring ? 30 : 220, p[1] = ring ? 30 : std::uint8_t(x * 5), p[2] = ring ? 240 : std::uint8_t(y * 5);
            p[3] = std::uint8_t(std::clamp(255.0 * (21.0 - d), 0.0, 255.0));
        }
    CImageLayer layer;
    layer.init(0, n, n, 0, 0, 2.0, 0.0, 0, 0, 0, 4, -1, raw.data(), 32);
    layer.assignBlock(raw.data(), std::int32_t(raw.size()), false);
    CLinearBitmap bm;
    ASSERT_EQ(bm.setSize(200, 80, false), nullptr);
    bm.fillRect(CPixelRect{0, 0, 200, 80}, CColor(), 256, 1.0);   // white
    int x = 4;
    for (double scale : {1.0, 1.5, 2.0, 3.0}) {
        CImageLayer* copy = layer.getScaled(scale);
        CImageDraw record;
        CImageDraw::init(record, copy, nullptr, true, 1.0);
        bm.drawImage(record, x, 4, CPixelRect{0, 0, 200, 80});
        const int centre = int(n / 2.0 * scale / 2.0);
        const std::uint8_t* p = bm.pixel(x + centre, 4 + centre);
        EXPECT_NEAR(p[0], raw[std::size_t((n / 2 * n + n / 2) * 4 + 2)], 12) << scale;
        EXPECT_NEAR(p[2], 220, 3) << scale;
        x += copy->width() + 6;
    }
    writePng("image-copies", bm);
}

} // namespace
} // namespace tal
