#include "Other/CImageSet.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "support/CLogCapture.h"
#include "support/ImageRecordBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

struct RangeBytes {
    std::string name;
    std::int32_t first, last;
};

// One 2 x 1 grey-and-alpha layer whose tone byte tells the images apart.
std::vector<std::uint8_t> taggedImage(std::uint8_t tag) {
    ImageLayerFields f;
    f.width = 2;
    f.height = 1;
    f.channels = 2;
    f.block = {tag, 255, std::uint8_t(tag + 1), 128};
    return imageRecord({f});
}

// An image-set body written by hand: ranges in the given order, then (index, image) pairs; the
// counts can be overridden to lie.
std::vector<std::uint8_t> body(const std::vector<RangeBytes>& ranges,
                               const std::vector<std::pair<std::int32_t, std::vector<std::uint8_t>>>& images,
                               std::int64_t imageCount = -1) {
    std::vector<std::uint8_t> out;
    appendLE(out, std::uint32_t(ranges.size()), 4);
    for (const RangeBytes& r : ranges) {
        appendLE(out, std::uint32_t(r.name.size()), 4);
        out.insert(out.end(), r.name.begin(), r.name.end());
        appendLE(out, std::uint32_t(r.first), 4);
        appendLE(out, std::uint32_t(r.last), 4);
    }
    appendLE(out, std::uint32_t(imageCount >= 0 ? imageCount : std::int64_t(images.size())), 4);
    for (const auto& [index, record] : images) {
        appendLE(out, std::uint32_t(index), 4);
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

// The whole ".is" record: version, then the body as a DRIX record of tag 0.
CByteBuffer setRecord(const std::vector<std::uint8_t>& bodyBytes, std::uint32_t version = 1, std::uint32_t tag = 0) {
    CWriteSeqBuffer out;
    EXPECT_EQ(out.write32(version), nullptr);
    CByteBuffer raw;
    raw.assign(bodyBytes.data(), std::int32_t(bodyBytes.size()));
    EXPECT_EQ(out.writeCompressedDataDRIX(raw, tag), nullptr);
    CByteBuffer bytes;
    out.moveTo(bytes);
    return bytes;
}

CByteBuffer saved(const CDataSet& set) {
    CByteBuffer bytes;
    CError* err = set.saveToBuffer(bytes);
    EXPECT_EQ(err, nullptr);
    delete err;
    return bytes;
}

std::string errorText(CError* err) {
    CString text = joinErrorLines(err);
    delete err;
    return text.narrowed().chars8();
}

int toneOf(const CImageSet& set, int index) { return set.image(index)->layer(0)->block()[0]; }

TEST(CImageSetTest, TagsSpellTheirFourLetters) {
    CImageSet set;
    CFont font;
    const std::uint32_t setTag = set.getTag(), fontTag = font.getTag();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&setTag), 4), "imgs");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&fontTag), 4), "font");
}

TEST(CImageSetTest, ReadKeepsSparseIndicesAndWritesRangesSortedAndImagesAscending) {
    // Ranges out of name order, images out of index order with a gap, as another writer might store them.
    const CByteBuffer record = setRecord(body({{"b", 200, 205}, {"", 1, 2}, {"B", 7, 7}, {"a", 100, 105}},
                                              {{200, taggedImage(20)}, {1, taggedImage(10)}, {100, taggedImage(30)}}));
    CImageSet set;
    ASSERT_EQ(set.loadFromBuffer(record), nullptr);
    EXPECT_EQ(set.imageCount(), 201);
    EXPECT_EQ(set.image(0), nullptr);
    EXPECT_EQ(set.image(2), nullptr);
    EXPECT_EQ(set.image(201), nullptr);
    EXPECT_EQ(set.image(-1), nullptr);
    EXPECT_EQ(toneOf(set, 1), 10);
    EXPECT_EQ(toneOf(set, 100), 30);
    EXPECT_EQ(toneOf(set, 200), 20);
    EXPECT_TRUE(set.image(100)->layer(0)->isInPlace());

    // Written back: the empty name first, capitals before small letters; images by index.
    const CByteBuffer expected = setRecord(body({{"", 1, 2}, {"B", 7, 7}, {"a", 100, 105}, {"b", 200, 205}},
                                                {{1, taggedImage(10)}, {100, taggedImage(30)}, {200, taggedImage(20)}}));
    EXPECT_EQ(saved(set), expected);
}

TEST(CImageSetTest, RepeatedIndexAndRangeKeepTheLaterOne) {
    CImageSet set;
    ASSERT_EQ(set.loadFromBuffer(setRecord(body({{"x", 1, 1}, {"x", 4, 9}}, {{3, taggedImage(1)}, {3, taggedImage(2)}}))),
              nullptr);
    EXPECT_EQ(toneOf(set, 3), 2);
    ASSERT_EQ(set.ranges().count(), 1);
    EXPECT_EQ(set.ranges().find(CString("x"))->value.first, 4);
    EXPECT_EQ(set.ranges().find(CString("x"))->value.last, 9);
}

TEST(CImageSetTest, ZeroOrNegativeCountsReadNothing) {
    for (const std::int64_t count : {0ll, 0xFFFFFFFFll}) {
        CImageSet set;
        ASSERT_EQ(set.loadFromBuffer(setRecord(body({{"", 1, 8}}, {}, count))), nullptr) << count;
        EXPECT_EQ(set.imageCount(), 0);
        EXPECT_EQ(set.ranges().count(), 1);
    }
}

TEST(CImageSetTest, AnotherVersionGivesAnEmptySetWithoutError) {
    CImageSet set;
    ASSERT_EQ(set.loadFromBuffer(setRecord(body({{"", 1, 1}}, {{1, taggedImage(5)}}))), nullptr);
    ASSERT_EQ(set.imageCount(), 2);
    ASSERT_EQ(set.loadFromBuffer(setRecord(body({{"", 1, 1}}, {{1, taggedImage(5)}}), 2)), nullptr);
    EXPECT_EQ(set.imageCount(), 0);
    EXPECT_EQ(set.ranges().count(), 0);
}

TEST(CImageSetTest, IndexOutsideTheListLimitFailsAndKeepsWhatWasRead) {
    for (const std::int32_t bad : {-1, CImageSet::kMaxIndex + 1, 0x7FFFFFFF}) {
        CImageSet set;
        CError* err = set.loadFromBuffer(setRecord(body({{"", 1, 1}}, {{1, taggedImage(5)}, {bad, taggedImage(6)}})));
        ASSERT_NE(err, nullptr) << bad;
        EXPECT_NE(errorText(err).find("image index " + std::to_string(bad) + " is out of range"), std::string::npos);
        EXPECT_EQ(set.imageCount(), 2);
        EXPECT_EQ(toneOf(set, 1), 5);
    }
    CImageSet top;
    ASSERT_EQ(top.loadFromBuffer(setRecord(body({}, {{CImageSet::kMaxIndex, taggedImage(9)}}))), nullptr);
    EXPECT_EQ(top.imageCount(), CImageSet::kMaxIndex + 1);
}

TEST(CImageSetTest, DamagedRecordsFailWithoutLeavingTheFailingImage) {
    // A layer whose block is shorter than its size says, after one good image.
    ImageLayerFields shortBlock;
    shortBlock.width = 3;
    shortBlock.height = 3;
    shortBlock.channels = 1;
    shortBlock.block = {1, 2, 3};
    CImageSet set;
    CError* err = set.loadFromBuffer(setRecord(body({}, {{1, taggedImage(5)}, {2, imageRecord({shortBlock})}})));
    ASSERT_NE(err, nullptr);
    delete err;
    EXPECT_EQ(set.imageCount(), 2);
    EXPECT_EQ(set.image(2), nullptr);

    // A wrong DRIX tag, and records cut short at every length.
    CImageSet other;
    err = other.loadFromBuffer(setRecord(body({}, {}), 1, 7));
    EXPECT_NE(err, nullptr);
    delete err;
    const CByteBuffer whole = setRecord(body({{"", 1, 1}}, {{1, taggedImage(5)}}));
    for (std::int32_t n = 1; n < whole.size(); ++n) {
        CImageSet cut;
        CMemoryReader in(whole.data(), n);
        CError* cutErr = cut.read(in);
        EXPECT_NE(cutErr, nullptr) << n;
        delete cutErr;
    }
}

TEST(CImageSetTest, SetImageGrowsWithNullsAndRefusesIndicesBeyondTheLimit) {
    CImageSet set;
    EXPECT_TRUE(set.setImage(3, new CImage));
    EXPECT_EQ(set.imageCount(), 4);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(set.image(i), nullptr);
    EXPECT_FALSE(set.setImage(-1, new CImage));
    EXPECT_FALSE(set.setImage(CImageSet::kMaxIndex + 1, new CImage));
    EXPECT_EQ(set.imageCount(), 4);
    set.clear();
    EXPECT_EQ(set.imageCount(), 0);
}

TEST(CImageSetTest, GetRangeIndexLooksUpEveryNameTheEmptyOneToo) {
    CImageSet set;
    set.setRange(CString("ArrowSm"), 33, 34);
    CLogCapture log;
    EXPECT_EQ(set.getRangeIndex(CString("")), 0);
    EXPECT_TRUE(log.lines().empty());
    set.setRange(CString(""), 1, 8);
    EXPECT_EQ(set.getRangeIndex(CString("")), 1);
    EXPECT_EQ(set.getRangeIndex(CString("ArrowSm")), 33);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(set.getRangeIndex(CString("arrowsm")), 0);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Range not found <arrowsm>"});
}

TEST(CFontTest, RecordRoundTripsWithItsMetrics) {
    CFont font;
    CWriteSeqBuffer out;
    ASSERT_EQ(out.write32(1), nullptr);
    const CByteBuffer set = setRecord(body({{"", 32, 126}}, {{65, taggedImage(3)}, {164, taggedImage(4)}}));
    ASSERT_EQ(out.write(set.data(), set.size()), nullptr);
    for (double m : {14.5, 3.25, 3.0, 10.5})
        ASSERT_EQ(out.writeDouble(m), nullptr);
    CByteBuffer record;
    out.moveTo(record);

    ASSERT_EQ(font.loadFromBuffer(record), nullptr);
    EXPECT_EQ(font.ascent(), 14.5);
    EXPECT_EQ(font.descent(), 3.25);
    EXPECT_EQ(font.metrics()[2], 3.0);
    EXPECT_EQ(font.metrics()[3], 10.5);
    EXPECT_EQ(toneOf(font, 164), 4);
    EXPECT_EQ(saved(font), record);

    // Metrics cut short: an error, the glyphs read so far stay.
    CFont cut;
    CError* err = cut.loadFromBuffer([&] {
        CByteBuffer b;
        b.assign(record.data(), record.size() - 8);
        return b;
    }());
    EXPECT_NE(err, nullptr);
    delete err;
    EXPECT_NE(cut.image(65), nullptr);
}

TEST(CFontTest, AnotherFontVersionLoadsNothing) {
    CWriteSeqBuffer out;
    ASSERT_EQ(out.write32(2), nullptr);
    const CByteBuffer set = setRecord(body({}, {{65, taggedImage(3)}}));
    ASSERT_EQ(out.write(set.data(), set.size()), nullptr);
    CByteBuffer record;
    out.moveTo(record);
    CFont font;
    ASSERT_EQ(font.loadFromBuffer(record), nullptr);
    EXPECT_EQ(font.imageCount(), 0);
}

} // namespace
} // namespace tal
