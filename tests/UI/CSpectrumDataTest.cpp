#include "UI/CSpectrumData.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "Core/CMemoryReader.h"
#include "Core/RecordTags.h"
#include "support/LeBytes.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <limits>
#include <string>
#include <vector>

namespace tal {
namespace {

using test::Bytes;
using test::takeMessage;

std::unique_ptr<CAudioVizDataSpectrum> spectrumOf(const std::vector<double>& values) {
    auto s = std::make_unique<CAudioVizDataSpectrum>();
    s->values.assign(values.data(), std::int32_t(values.size()));
    s->sampleRate = 48000.0;
    s->fftSize = 4096;
    s->averagingType = 2;
    s->window = 1;
    s->averagingTime = 0.75;
    return s;
}

Bytes recordOf(const CSpectrumData& data) {
    CByteBuffer out;
    EXPECT_EQ(takeMessage(data.saveToBuffer(out)), "");
    return test::bytesOf(out);
}

TEST(CSpectrumData, TagSpellsAspc) {
    CSpectrumData data;
    const std::uint32_t tag = data.getTag();
    const std::string letters{char(tag & 0xFF), char(tag >> 8 & 0xFF), char(tag >> 16 & 0xFF), char(tag >> 24)};
    EXPECT_EQ(letters, "aspc");
}

TEST(CSpectrumData, LevelsPackTwelveBitCodesTwoInThreeBytes) {
    // -300, 20 and -140 dB are codes 0, 4095 and 2048 (2047.5 rounds away from zero).
    CSpectrumData data;
    data.setFromSpectrum(*spectrumOf({-300.0, 20.0, -140.0}), CString("Stereo"), CString("L+R"), false);
    ASSERT_EQ(data.binCount(), 3);
    EXPECT_EQ(test::bytesOf(data.packedCodes()), (Bytes{0x00, 0xF0, 0xFF, 0x00, 0x08}));
    EXPECT_EQ(data.code(0), 0);
    EXPECT_EQ(data.code(1), 4095);
    EXPECT_EQ(data.code(2), 2048);
}

TEST(CSpectrumData, RecordHoldsTheFieldsInOrder) {
    std::vector<double> values(1025);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = std::pow(10.0, -double(i % 300) / 20.0);
    CSpectrumData data;
    data.setFromSpectrum(*spectrumOf(values), CString("Stereo"), CString("L+R"), true);
    const Bytes record = recordOf(data);
    ASSERT_EQ(data.packedCodes().size(), 1538);
    const Bytes codes(data.packedCodes().data(), data.packedCodes().data() + 1538);
    LeBytes expected;
    expected.i32(1).f64(48000.0).i32(4096).i32(2).f64(0.75).str("`Stereo").str("L+R").i32(1025).raw(codes);
    expected.i32(1).f64(-300.0).f64(20.0);
    EXPECT_EQ(record, expected.bytes());
}

TEST(CSpectrumData, RoundTripKeepsFieldsAndLevelsWithinHalfAStep) {
    // Levels across the whole coded range and beyond it (clamped to -300 and 20 dB).
    std::vector<double> db;
    for (double v = -320.0; v <= 30.0; v += 0.37)
        db.push_back(v);
    std::vector<double> linear;
    for (double v : db)
        linear.push_back(std::pow(10.0, v / 20.0));
    linear.push_back(0.0);   // silence: the floor
    db.push_back(-1000.0);
    CSpectrumData data;
    data.setFromSpectrum(*spectrumOf(linear), CString("Multi"), CString("L+R+3"), true);
    const Bytes record = recordOf(data);
    CSpectrumData back;
    ASSERT_EQ(takeMessage(back.loadFromBuffer(test::bufferOf(record))), "");
    EXPECT_EQ(back.sampleRate, 48000.0);
    EXPECT_EQ(back.fftSize, 4096);
    EXPECT_EQ(back.spectrumType, 2);
    EXPECT_EQ(back.windowType, 1);
    EXPECT_EQ(back.averagingTime, 0.75);
    EXPECT_EQ(test::utf8Of(back.groupName), "Multi");
    EXPECT_EQ(test::utf8Of(back.channelNames), "L+R+3");
    ASSERT_EQ(back.binCount(), std::int32_t(db.size()));
    CAudioVizDataSpectrum out;
    CString group, channels;
    back.getSpectrum(out, group, channels);
    ASSERT_EQ(out.binCount(), back.binCount());
    EXPECT_EQ(out.exportSlot, -1);
    for (std::size_t i = 0; i < db.size(); ++i) {
        SCOPED_TRACE(db[i]);
        const double expected = std::clamp(db[i], -300.0, 20.0);
        EXPECT_NEAR(20.0 * std::log10(out.values[std::int32_t(i)]), expected, 320.0 / 4095.0 / 2.0 + 1e-9);
    }
    EXPECT_EQ(recordOf(back), record);
}

TEST(CSpectrumData, OtherVersionReadsAsTheDefaultSilentSpectrum) {
    LeBytes bytes;
    bytes.i32(0).f64(96000.0);
    CSpectrumData data;
    data.setFromSpectrum(*spectrumOf({1.0, 1.0}), CString("X"), CString("Y"), true);
    CMemoryReader reader(bytes.data(), bytes.size());
    ASSERT_EQ(takeMessage(data.read(reader)), "");
    EXPECT_EQ(data.sampleRate, 44100.0);
    EXPECT_EQ(data.fftSize, 2048);
    EXPECT_EQ(data.averagingTime, 0.5);
    EXPECT_EQ(test::utf8Of(data.groupName), "Stereo");
    EXPECT_EQ(test::utf8Of(data.channelNames), "L+R");
    ASSERT_EQ(data.binCount(), 1025);
    EXPECT_EQ(data.packedCodes().size(), 1538);
    EXPECT_EQ(data.levelDb(1024), -300.0);
}

TEST(CSpectrumData, RecordWithoutTheMarkUsesTheOldRange) {
    // Codes 0 and 4095 over -180 .. 20 dB.
    LeBytes bytes;
    bytes.i32(1).f64(44100.0).i32(1024).i32(0).f64(1.0).str("Mono").str("L").i32(2).raw({0x00, 0xF0, 0xFF});
    CSpectrumData data;
    CMemoryReader reader(bytes.data(), bytes.size());
    ASSERT_EQ(takeMessage(data.read(reader)), "");
    EXPECT_EQ(data.windowType, 0);
    EXPECT_EQ(data.floorDb, -180.0);
    EXPECT_EQ(data.ceilingDb, 20.0);
    EXPECT_EQ(test::utf8Of(data.groupName), "Mono");
    EXPECT_DOUBLE_EQ(data.levelDb(0), -180.0);
    EXPECT_DOUBLE_EQ(data.levelDb(1), 20.0);
}

// The bytes of a version-1 extended record with n bins, codes of `codeBytes` bytes and a range.
Bytes damaged(std::int32_t n, std::int32_t codeBytes, double floor, double ceiling) {
    LeBytes bytes;
    bytes.i32(1).f64(48000.0).i32(2048).i32(0).f64(1.0).str("`Stereo").str("L+R").i32(n);
    bytes.raw(Bytes(std::size_t(std::max(codeBytes, 0)), 0x11));
    bytes.i32(0).f64(floor).f64(ceiling);
    return bytes.bytes();
}

TEST(CSpectrumData, DamagedRecordsAreReadErrors) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"negative bin count", damaged(-1, 0, -300.0, 20.0)},
        {"bin count above the limit", damaged(65538, 98307, -300.0, 20.0)},
        {"codes cut short", damaged(1025, 1000, -300.0, 20.0)},
        {"ceiling equal to floor", damaged(2, 3, 20.0, 20.0)},
        {"ceiling below floor", damaged(2, 3, 20.0, -300.0)},
        {"floor not a number", damaged(2, 3, nan, 20.0)},
        {"infinite floor", damaged(2, 3, -inf, 20.0)},
        {"infinite ceiling", damaged(2, 3, -300.0, inf)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSpectrumData data;
        CMemoryReader reader(c.bytes.data(), std::int32_t(c.bytes.size()));
        EXPECT_NE(takeMessage(data.read(reader)), "");
        // The level mapping stays usable: no division by a zero range.
        EXPECT_TRUE(std::isfinite(data.levelDb(0)));
    }
    // The largest allowed count reads.
    const Bytes largest = damaged(65537, CSpectrumData::packedSize(65537), -300.0, 20.0);
    CSpectrumData data;
    CMemoryReader reader(largest.data(), std::int32_t(largest.size()));
    EXPECT_EQ(takeMessage(data.read(reader)), "");
    EXPECT_EQ(data.binCount(), 65537);
}

} // namespace
} // namespace tal
