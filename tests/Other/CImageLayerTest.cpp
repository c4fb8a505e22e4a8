#include "Other/CImageLayer.h"

#include "support/RunDecoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace tal {
namespace {

std::vector<std::uint8_t> blockOf(const CImageLayerData& layer) {
    return std::vector<std::uint8_t>(layer.block(), layer.block() + layer.blockSize());
}

// A raw layer (not prepared) of the given pixels.
void makeRaw(CImageLayer& layer, std::int32_t w, std::int32_t h, std::int32_t channels,
             const std::vector<std::uint8_t>& pixels, double scale = 2.0, std::int32_t offsetX = 0,
             std::int32_t offsetY = 0, std::int32_t anchor = 0, std::int32_t tone = 100) {
    layer.init(1, w, h, offsetX, offsetY, scale, 0.0, 0, 0, anchor, channels, tone, pixels.data(), channels * 8);
    layer.assignBlock(pixels.data(), std::int32_t(pixels.size()), false);
}

TEST(CImageLayer, EncodesTheTwoPixelExample) {
    // Alpha 3 (transparent) then alpha 254 (opaque), stored B, G, R, A.
    const std::vector<std::uint8_t> raw = {9, 9, 9, 3, 0, 1, 2, 254};
    CImageLayer layer;
    makeRaw(layer, 2, 1, 4, raw);
    layer.encodeRuns(raw.data(), 32);
    EXPECT_TRUE(layer.isPrepared());
    EXPECT_EQ(blockOf(layer), (std::vector<std::uint8_t>{1, 0, 6, 0, 0, 0, 0x08, 0x0B, 2, 1, 0, 255}));
    EXPECT_EQ(layer.checkBlock(), nullptr);
}

TEST(CImageLayer, LongRunsUseTwoByteHeaders) {
    struct Case {
        const char* name;
        bool oneDiffers;
        std::vector<std::uint8_t> expectedHead;
    };
    for (const Case& c : {Case{"equal", false, {0x47, 0x01}}, Case{"one differs", true, {0x46, 0x01}}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> raw(40 * 4);
        for (int i = 0; i < 40; ++i) {
            raw[std::size_t(i) * 4] = 10, raw[std::size_t(i) * 4 + 1] = 20, raw[std::size_t(i) * 4 + 2] = 30;
            raw[std::size_t(i) * 4 + 3] = 255;
        }
        if (c.oneDiffers)
            raw[17 * 4 + 1] = 21;
        CImageLayer layer;
        makeRaw(layer, 40, 1, 4, raw);
        layer.encodeRuns(raw.data(), 32);
        const std::vector<std::uint8_t> block = blockOf(layer);
        ASSERT_GE(block.size(), 8u);
        EXPECT_EQ(block[6], c.expectedHead[0]);
        EXPECT_EQ(block[7], c.expectedHead[1]);
        EXPECT_EQ(block.size(), c.oneDiffers ? 8u + 40 * 4 : 8u + 4);
        EXPECT_EQ(block[8], 30);   // red first
    }
}

TEST(CImageLayer, TransparentRowsCostOneTableEntryUpTo8191Pixels) {
    for (std::int32_t width : {1, 8191, 8192, 20000}) {
        SCOPED_TRACE(width);
        const std::vector<std::uint8_t> raw(std::size_t(width), 0);   // 1 channel, coverage 0
        CImageLayer layer;
        makeRaw(layer, width, 1, 1, raw);
        layer.encodeRuns(raw.data(), 8);
        EXPECT_EQ(layer.checkBlock(), nullptr);
        const std::vector<std::uint8_t> block = blockOf(layer);
        if (width <= 8191) {
            EXPECT_EQ(block.size(), 6u);
            EXPECT_EQ(layer.rowOffset(0), 0);
        } else {
            EXPECT_EQ(layer.rowOffset(0), 6);
            // Runs of at most 8191 pixels: 8191 << 3 = 0xFFF8, plus the two-byte flag.
            EXPECT_EQ(block[6], 0xFC);
            EXPECT_EQ(block[7], 0xFF);
        }
        EXPECT_EQ(decodeRuns(layer.block(), width, 1, 1), std::vector<DecodedPixel>(std::size_t(width)));
    }
}

TEST(CImageLayer, AlphaThresholdsAndOneChannelOpaqueRunsWithoutBytes) {
    // 1 channel: coverage is the alpha. 0..3 transparent, 4..253 kept, 254/255 opaque with no bytes.
    const std::vector<std::uint8_t> raw = {1, 3, 4, 253, 254, 255, 255};
    CImageLayer layer;
    makeRaw(layer, 7, 1, 1, raw);
    layer.encodeRuns(raw.data(), 8);
    EXPECT_EQ(blockOf(layer), (std::vector<std::uint8_t>{1, 0, 6, 0, 0, 0, (2 << 3) | 0, (2 << 3) | 1, 4, 253,
                                                         (3 << 3) | 3}));
}

TEST(CImageLayer, EncodedRowsDecodeToTheClassifiedPixels) {
    std::mt19937 rng(21);
    for (std::int32_t channels : {1, 2, 4}) {
        SCOPED_TRACE(channels);
        const std::int32_t w = 37, h = 9;
        std::vector<std::uint8_t> raw(std::size_t(w * h * channels));
        // Runs of random length and class so every run type and boundary occurs.
        std::size_t i = 0;
        while (i < raw.size() / std::size_t(channels)) {
            const int len = int(rng() % 12) + 1;
            const int kind = int(rng() % 4);
            const std::uint8_t alpha = kind == 0 ? std::uint8_t(rng() % 4) : kind == 1 ? std::uint8_t(4 + rng() % 250)
                                                                                       : std::uint8_t(254 + rng() % 2);
            const std::uint8_t tone = std::uint8_t(rng());
            for (int k = 0; k < len && i < raw.size() / std::size_t(channels); ++k, ++i) {
                std::uint8_t* p = &raw[i * std::size_t(channels)];
                for (int c = 0; c < channels; ++c)
                    p[c] = kind == 3 ? tone : std::uint8_t(rng());
                p[channels == 1 ? 0 : channels == 2 ? 1 : 3] = alpha;
            }
        }
        CImageLayer layer;
        makeRaw(layer, w, h, channels, raw);
        layer.encodeRuns(raw.data(), channels * 8);
        ASSERT_EQ(layer.checkBlock(), nullptr);
        const std::vector<DecodedPixel> decoded = decodeRuns(layer.block(), w, h, channels);
        for (std::size_t p = 0; p < decoded.size(); ++p)
            ASSERT_EQ(decoded[p], expectedPixel(&raw[p * std::size_t(channels)], channels)) << "pixel " << p;
    }
}

TEST(CImageLayer, ToneRule) {
    std::vector<std::uint8_t> small(1 * 5 * 4, 7);
    EXPECT_EQ(CImageLayer::toneOf(small.data(), 1, 5, 4), 255);
    std::vector<std::uint8_t> big(10 * 10 * 4, 0);
    int sum = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const int v = (x * 13 + y * 29) % 256;
            big[std::size_t(y * 10 + x) * 4] = std::uint8_t(v);
            if (x >= 1 && x <= 6 && y >= 1 && y <= 6)
                sum += v;
        }
    EXPECT_EQ(CImageLayer::toneOf(big.data(), 10, 10, 4), int(std::floor(sum / 36.0 + 0.5)));
    const std::vector<std::uint8_t> pair = {77, 200, 5, 5};
    EXPECT_EQ(CImageLayer::toneOf(pair.data(), 2, 1, 2), 77);
    EXPECT_EQ(CImageLayer::toneOf(pair.data(), 0, 1, 1), 255);
}

TEST(CImageLayer, InitDerivesANegativeToneFromThePixels) {
    std::vector<std::uint8_t> raw(3 * 3 * 4, 0);
    raw[(1 * 3 + 1) * 4] = 90;
    raw[(1 * 3 + 2) * 4] = 91;
    raw[(2 * 3 + 1) * 4] = 92;
    raw[(2 * 3 + 2) * 4] = 93;
    CImageLayer layer;
    layer.init(2, 3, 3, 0, 0, 2.0, 0.0, 0, 0, 0, 4, -1, raw.data(), 32);
    EXPECT_EQ(layer.tone(), 92);   // 91.5 rounds up
    EXPECT_EQ(layer.colorIndex(), 2);
}

// --- scaled copies ---

TEST(CImageLayer, PreparedLayerIsItsOwnCopyAtAnyScale) {
    const std::vector<std::uint8_t> raw = {255, 255};
    CImageLayer layer;
    makeRaw(layer, 2, 1, 1, raw);
    layer.encodeRuns(raw.data(), 8);
    EXPECT_EQ(layer.getScaled(1.0), &layer);
    EXPECT_EQ(layer.getScaled(3.7), &layer);
    EXPECT_EQ(layer.copyCount(), 0);
}

TEST(CImageLayer, SameScaleCopyKeepsGeometryAndPixels) {
    std::vector<std::uint8_t> raw(5 * 4 * 2);
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = std::uint8_t(i * 37 % 256);
    CImageLayer layer;
    makeRaw(layer, 5, 4, 2, raw, 2.0, -3, 6, 5, 77);
    layer.setAdvance(12.5);
    CImageLayer* copy = layer.getScaled(2.0);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, &layer);
    EXPECT_TRUE(copy->isPrepared());
    EXPECT_EQ(copy->width(), 5);
    EXPECT_EQ(copy->height(), 4);
    EXPECT_EQ(copy->offsetX(), -3);
    EXPECT_EQ(copy->offsetY(), 6);
    EXPECT_EQ(copy->anchor(), 5);
    EXPECT_EQ(copy->tone(), 77);
    EXPECT_EQ(copy->advance(), 0.0);
    EXPECT_EQ(copy->colorIndex(), 1);
    const std::vector<DecodedPixel> decoded = decodeRuns(copy->block(), 5, 4, 2);
    for (std::size_t p = 0; p < decoded.size(); ++p)
        EXPECT_EQ(decoded[p], expectedPixel(&raw[p * 2], 2)) << p;
    EXPECT_EQ(layer.getScaled(2.0), copy);
    EXPECT_EQ(layer.copyCount(), 1);
}

struct GeometryCase {
    std::int32_t offsetX, anchor;
    double scale;
    std::int32_t width, offsetOut;
    double startX;
};

class CImageLayerGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(CImageLayerGeometry, CopyEdgesAndStarts) {
    const GeometryCase& c = GetParam();
    CImageLayerData layer;
    layer.setScale(2.0);
    layer.setGeometry(40, 48, c.offsetX, 0, 0, 0, c.anchor);
    CScaledGeometry g;
    ASSERT_TRUE(CImageLayer::getScaledGeometry(layer, c.scale, g));
    EXPECT_EQ(g.width, c.width);
    EXPECT_EQ(g.offsetX, c.offsetOut);
    EXPECT_NEAR(g.startX, c.startX, 1e-12);
    EXPECT_DOUBLE_EQ(g.step, 2.0 / c.scale);
}

INSTANTIATE_TEST_SUITE_P(Layers, CImageLayerGeometry,
                         ::testing::Values(GeometryCase{34, 0, 1.0, 20, 17, 0.5},    // aligned: half-pixel start
                                           GeometryCase{33, 0, 1.0, 21, 16, -0.5},   // starts half a pixel early
                                           GeometryCase{33, 1, 1.0, 21, 16, 0.0},    // centred slack
                                           GeometryCase{33, 2, 1.0, 21, 16, 0.5},    // right-anchored slack
                                           GeometryCase{34, 0, 3.0, 60, 51, -1.0 / 6.0}));

TEST(CImageLayer, HalfScaleCopyHasTheGivenGeometryAndTone) {
    std::vector<std::uint8_t> raw(40 * 48 * 4, 0);
    for (std::size_t i = 0; i < raw.size(); i += 4)
        raw[i] = 200, raw[i + 1] = 100, raw[i + 2] = 50, raw[i + 3] = 255;
    CImageLayer layer;
    makeRaw(layer, 40, 48, 4, raw, 2.0, 34, 0, 0, -1);
    CImageLayer* copy = layer.getScaled(1.0);
    EXPECT_EQ(copy->width(), 20);
    EXPECT_EQ(copy->height(), 24);
    EXPECT_EQ(copy->offsetX(), 17);
    EXPECT_EQ(copy->scale(), 1.0);
    EXPECT_EQ(copy->tone(), 200);   // from the copy's pixels: a uniform source stays uniform
    const std::vector<DecodedPixel> decoded = decodeRuns(copy->block(), 20, 24, 4);
    for (const DecodedPixel& p : decoded)
        ASSERT_EQ(p, (DecodedPixel{2, {50, 100, 200, 255}}));
}

TEST(CImageLayer, UnusableScalesShareOneEmptyCopy) {
    std::vector<std::uint8_t> raw(4 * 4, 255);
    CImageLayer layer;
    makeRaw(layer, 4, 4, 1, raw, 2.0, 0, 0, 0, -1);
    CImageLayer* empty = layer.getScaled(std::nan(""));
    for (double s : {std::nan(""), -1.0, 0.0, double(INFINITY), 1e-6, 1e9}) {
        SCOPED_TRACE(s);
        CImageLayer* copy = layer.getScaled(s);
        EXPECT_EQ(copy->width() * copy->height(), 0);
        EXPECT_EQ(copy->blockSize(), 2);   // the row count alone
        EXPECT_TRUE(copy->isPrepared());
        if (!(s > 0.0) || !std::isfinite(s)) {
            EXPECT_EQ(copy, empty);
        }
    }
    EXPECT_EQ(empty->tone(), 255);
    EXPECT_EQ(layer.copyCount(), 3);   // the shared empty one, 1e-6 and 1e9
}

TEST(CImageLayer, ConcurrentRequestsForOneScaleGetOneCopy) {
    std::vector<std::uint8_t> raw(64 * 64 * 4);
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = std::uint8_t(i * 7 % 253);
    CImageLayer layer;
    makeRaw(layer, 64, 64, 4, raw);
    constexpr int kThreads = 4;
    std::atomic<int> ready{0};
    CImageLayer* got[kThreads][3] = {};
    const double scales[3] = {1.0, 1.5, 3.0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) {
            }
            for (int k = 0; k < 3; ++k)
                got[t][(k + t) % 3] = layer.getScaled(scales[(k + t) % 3]);
        });
    for (std::thread& th : threads)
        th.join();
    for (int k = 0; k < 3; ++k)
        for (int t = 1; t < kThreads; ++t)
            EXPECT_EQ(got[t][k], got[0][k]) << scales[k];
    EXPECT_EQ(layer.copyCount(), 3);
}

} // namespace
} // namespace tal
