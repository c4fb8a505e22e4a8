#include "Other/CImageLayerData.h"

#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CMemoryReaderStatic.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/ImageRecordBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace tal {
namespace {

// The record from offset 2 on (no colour index).
std::vector<std::uint8_t> dataRecord(const ImageLayerFields& f) {
    std::vector<std::uint8_t> bytes;
    appendLayerRecord(bytes, f);
    bytes.erase(bytes.begin(), bytes.begin() + 2);
    return bytes;
}

ImageLayerFields rawLayer() {
    ImageLayerFields f;
    f.width = 3;
    f.height = 2;
    f.offsetX = -4;
    f.offsetY = 7;
    f.extraWidth = 5;
    f.extraHeight = -1;
    f.anchor = 10;
    f.tone = -3;
    f.advance = 19.75;
    f.channels = 2;
    for (int i = 0; i < 3 * 2 * 2; ++i)
        f.block.push_back(std::uint8_t(i * 20 + 1));
    return f;
}

void expectFields(const CImageLayerData& d, const ImageLayerFields& f) {
    EXPECT_EQ(d.scale(), f.scale);
    EXPECT_EQ(d.inverseScale(), 1.0 / f.scale);
    EXPECT_EQ(d.width(), f.width);
    EXPECT_EQ(d.height(), f.height);
    EXPECT_EQ(d.offsetX(), f.offsetX);
    EXPECT_EQ(d.offsetY(), f.offsetY);
    EXPECT_EQ(d.extraWidth(), f.extraWidth);
    EXPECT_EQ(d.extraHeight(), f.extraHeight);
    EXPECT_EQ(d.anchor(), f.anchor);
    EXPECT_EQ(d.tone(), f.tone);
    EXPECT_EQ(d.advance(), f.advance);
    EXPECT_EQ(d.channels(), f.channels);
    EXPECT_EQ(d.isPrepared(), f.prepared == 1);
    ASSERT_EQ(d.blockSize(), std::int32_t(f.block.size()));
    EXPECT_EQ(std::vector<std::uint8_t>(d.block(), d.block() + d.blockSize()), f.block);
}

TEST(CImageLayerData, ReadsEveryFieldWithSignedSixteenBitValues) {
    const ImageLayerFields f = rawLayer();
    const std::vector<std::uint8_t> bytes = dataRecord(f);
    ASSERT_EQ(bytes.size(), 39u + f.block.size());   // offsets 2..40 of the layer record, then the block
    CImageLayerData d;
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    ASSERT_EQ(d.read(in), nullptr);
    expectFields(d, f);
    EXPECT_FALSE(d.isInPlace());
    EXPECT_EQ(in.getRemainingSize(), 0);
}

TEST(CImageLayerData, MemoryImageKeepsTheBlockInPlace) {
    const ImageLayerFields f = rawLayer();
    const std::vector<std::uint8_t> bytes = dataRecord(f);
    CImageLayerData d;
    CMemoryReaderStatic in(bytes.data(), std::int32_t(bytes.size()));
    ASSERT_EQ(d.read(in), nullptr);
    expectFields(d, f);
    EXPECT_TRUE(d.isInPlace());
    EXPECT_EQ(d.block(), bytes.data() + 39);   // the block's first byte inside the memory image
}

TEST(CImageLayerData, WriteThenReadGivesTheSameLayerFromEitherForm) {
    const ImageLayerFields f = rawLayer();
    const std::vector<std::uint8_t> bytes = dataRecord(f);
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "own copy");
        CImageLayerData d;
        std::unique_ptr<CMemoryReader> in = inPlace
            ? std::make_unique<CMemoryReaderStatic>(bytes.data(), std::int32_t(bytes.size()))
            : std::make_unique<CMemoryReader>(bytes.data(), std::int32_t(bytes.size()));
        ASSERT_EQ(d.read(*in), nullptr);
        CWriteSeqBuffer out;
        ASSERT_EQ(d.write(out), nullptr);
        CByteBuffer written;
        out.moveTo(written);
        EXPECT_EQ(std::vector<std::uint8_t>(written.data(), written.data() + written.size()), bytes);
    }
}

TEST(CImageLayerData, ResetGivesTheDefaults) {
    const std::vector<std::uint8_t> bytes = dataRecord(rawLayer());
    CImageLayerData d;
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    ASSERT_EQ(d.read(in), nullptr);
    d.reset();
    ImageLayerFields defaults;
    defaults.scale = 1.0;
    defaults.channels = 1;
    expectFields(d, defaults);
}

// A damaged record must be refused before anything can draw or scale it.
struct DamagedCase {
    const char* name;
    void (*damage)(ImageLayerFields&);
};

ImageLayerFields runLayer() {
    // 2 x 2, 4 channels, run-length: row 0 a repeated opaque run of 2, row 1 empty.
    ImageLayerFields f;
    f.width = 2;
    f.height = 2;
    f.channels = 4;
    f.prepared = 1;
    f.block = {2, 0, 10, 0, 0, 0, 0, 0, 0, 0, (2 << 3) | 3, 1, 2, 3, 255};
    return f;
}

class CImageLayerDataDamaged : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(CImageLayerDataDamaged, RecordIsRefusedAndTheLayerKeptAsItWas) {
    ImageLayerFields f = std::string(GetParam().name).rfind("runs", 0) == 0 ? runLayer() : rawLayer();
    GetParam().damage(f);
    const std::vector<std::uint8_t> bytes = dataRecord(f);
    const std::vector<std::uint8_t> good = dataRecord(rawLayer());
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "own copy");
        CImageLayerData d;
        CMemoryReader first(good.data(), std::int32_t(good.size()));
        ASSERT_EQ(d.read(first), nullptr);
        std::unique_ptr<CMemoryReader> in = inPlace
            ? std::make_unique<CMemoryReaderStatic>(bytes.data(), std::int32_t(bytes.size()))
            : std::make_unique<CMemoryReader>(bytes.data(), std::int32_t(bytes.size()));
        CError* err = d.read(*in);
        ASSERT_NE(err, nullptr);
        delete err;
        expectFields(d, rawLayer());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CImageLayerDataDamaged,
    ::testing::Values(
        DamagedCase{"negative width", [](ImageLayerFields& f) { f.width = -3; }},
        DamagedCase{"negative height", [](ImageLayerFields& f) { f.height = -1; f.block.clear(); }},
        DamagedCase{"three channels", [](ImageLayerFields& f) { f.channels = 3; f.block.resize(18); }},
        DamagedCase{"zero channels", [](ImageLayerFields& f) { f.channels = 0; f.block.clear(); }},
        DamagedCase{"short raw block", [](ImageLayerFields& f) { f.block.pop_back(); }},
        DamagedCase{"long raw block", [](ImageLayerFields& f) { f.block.push_back(0); }},
        DamagedCase{"zero scale", [](ImageLayerFields& f) { f.scale = 0.0; }},
        DamagedCase{"negative scale", [](ImageLayerFields& f) { f.scale = -2.0; }},
        DamagedCase{"NaN scale", [](ImageLayerFields& f) { f.scale = std::nan(""); }},
        DamagedCase{"infinite advance", [](ImageLayerFields& f) { f.advance = std::numeric_limits<double>::infinity(); }},
        DamagedCase{"unknown block form", [](ImageLayerFields& f) { f.prepared = 2; }},
        DamagedCase{"negative block length", [](ImageLayerFields& f) { f.blockLength = -12; }},
        DamagedCase{"block length past the end", [](ImageLayerFields& f) { f.blockLength = 13; }},
        DamagedCase{"runs: row count differs", [](ImageLayerFields& f) { f.block[0] = 3; }},
        DamagedCase{"runs: table cut short", [](ImageLayerFields& f) { f.block.resize(8); }},
        DamagedCase{"runs: row offset past the end", [](ImageLayerFields& f) { f.block[2] = 40; }},
        DamagedCase{"runs: row offset inside the table", [](ImageLayerFields& f) { f.block[2] = 4; }},
        DamagedCase{"runs: negative row offset", [](ImageLayerFields& f) { f.block[6] = 0xF0, f.block[9] = 0xFF; }},
        DamagedCase{"runs: run longer than the row", [](ImageLayerFields& f) { f.block[10] = (3 << 3) | 3; }},
        DamagedCase{"runs: row shorter than the width", [](ImageLayerFields& f) { f.block[10] = (1 << 3) | 3; }},
        DamagedCase{"runs: zero-length run", [](ImageLayerFields& f) { f.block[10] = 3; }},
        DamagedCase{"runs: pixel bytes past the end", [](ImageLayerFields& f) { f.block.pop_back(); }},
        DamagedCase{"runs: two-byte header cut", [](ImageLayerFields& f) { f.block.resize(11); f.block[10] = 4 | 3; }},
        DamagedCase{"runs: translucent bytes past the end",
                    [](ImageLayerFields& f) { f.block[10] = (2 << 3) | 1; }}),
    [](const ::testing::TestParamInfo<DamagedCase>& info) {
        std::string n;
        for (const char* c = info.param.name; *c != 0; ++c)
            if (std::isalnum(static_cast<unsigned char>(*c)))
                n += *c;
        return n;
    });

TEST(CImageLayerData, TruncatedRecordsFailWithTheReadersError) {
    const std::vector<std::uint8_t> bytes = dataRecord(rawLayer());
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE(cut);
        CImageLayerData d;
        CMemoryReader in(bytes.data(), std::int32_t(cut));
        CError* err = d.read(in);
        ASSERT_NE(err, nullptr);
        EXPECT_NE(err->message().chars8(), nullptr);
        delete err;
        EXPECT_EQ(d.width(), 0);   // unchanged
        EXPECT_EQ(d.blockSize(), 0);
    }
}

} // namespace
} // namespace tal
