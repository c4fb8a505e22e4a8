#include "Other/CImage.h"

#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CMemoryReaderStatic.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/CImageLayer.h"
#include "support/ImageRecordBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

ImageLayerFields layerFields(int i) {
    ImageLayerFields f;
    f.colorIndex = std::int16_t(i);
    f.width = std::int16_t(i + 1);
    f.height = 2;
    f.channels = 1;
    f.tone = std::int16_t(10 * i);
    f.block.assign(std::size_t(f.width) * 2, std::uint8_t(50 + i));
    return f;
}

std::vector<std::string> errorLines(const CError& err) {
    std::vector<std::string> v;
    for (int i = 0; i < err.lineCount(); ++i)
        v.emplace_back(err.line(i).chars8());
    return v;
}

TEST(CImage, ReadsLayersInOrder) {
    const std::vector<std::uint8_t> bytes = imageRecord({layerFields(0), layerFields(1), layerFields(2)});
    CImage image;
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    ASSERT_EQ(image.read(in), nullptr);
    ASSERT_EQ(image.layerCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(image.layer(i)->colorIndex(), i);
        EXPECT_EQ(image.layer(i)->width(), i + 1);
        EXPECT_EQ(image.layer(i)->tone(), 10 * i);
        EXPECT_EQ(image.layer(i)->block()[0], 50 + i);
    }
}

TEST(CImage, ZeroOrNegativeLayerCountGivesNoLayers) {
    for (std::uint16_t count : {std::uint16_t(0), std::uint16_t(0x8000), std::uint16_t(0xFFFF)}) {
        SCOPED_TRACE(count);
        const std::vector<std::uint8_t> bytes = {std::uint8_t(count), std::uint8_t(count >> 8)};
        CImage image;
        const std::vector<std::uint8_t> before = imageRecord({layerFields(0)});
        CMemoryReader first(before.data(), std::int32_t(before.size()));
        ASSERT_EQ(image.read(first), nullptr);
        CMemoryReader in(bytes.data(), 2);
        EXPECT_EQ(image.read(in), nullptr);
        EXPECT_EQ(image.layerCount(), 0);
    }
}

TEST(CImage, StreamEndingInsideTheThirdLayerFailsWithTraceLines) {
    std::vector<std::uint8_t> bytes = imageRecord({layerFields(0), layerFields(1), layerFields(2)});
    // Cut inside the third layer's block length (record offset 37..40 of that layer).
    std::vector<std::uint8_t> firstTwo = imageRecord({layerFields(0), layerFields(1)});
    bytes.resize(firstTwo.size() + 39);
    CImage image;
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    CError* err = image.read(in);
    ASSERT_NE(err, nullptr);
    const std::vector<std::string> lines = errorLines(*err);
    delete err;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines[0].find("Premature end of memory resource"), std::string::npos) << lines[0];
    bool data = false, image_ = false, layer = false;
    for (const std::string& l : lines) {
        data = data || l.rfind("Other/CImageLayerData(", 0) == 0;
        image_ = image_ || l.rfind("Other/CImage(", 0) == 0;
        layer = layer || l.rfind("Other/CImageLayer(", 0) == 0;
    }
    EXPECT_TRUE(data);
    EXPECT_TRUE(image_);
    EXPECT_FALSE(layer);
    ASSERT_EQ(image.layerCount(), 3);
    EXPECT_EQ(image.layer(1)->width(), 2);
    EXPECT_EQ(image.layer(2)->width(), 0);   // the failing layer is left empty, never half read
    EXPECT_EQ(image.layer(2)->blockSize(), 0);
}

TEST(CImage, WriteAndReadBackGivesTheSameRecordIncludingInPlaceLayers) {
    ImageLayerFields prepared;
    prepared.width = 2;
    prepared.height = 1;
    prepared.channels = 4;
    prepared.prepared = 1;
    prepared.block = {1, 0, 6, 0, 0, 0, 8, 11, 2, 1, 0, 255};
    const std::vector<std::uint8_t> bytes = imageRecord({layerFields(3), prepared, layerFields(1)});
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace);
        CImage image;
        CMemoryReaderStatic fromMemory(bytes.data(), std::int32_t(bytes.size()));
        CMemoryReader fromCopy(bytes.data(), std::int32_t(bytes.size()));
        ASSERT_EQ(image.read(inPlace ? static_cast<CInputStream&>(fromMemory) : fromCopy), nullptr);
        EXPECT_EQ(image.layer(1)->isInPlace(), inPlace);
        CWriteSeqBuffer out;
        ASSERT_EQ(image.write(out), nullptr);
        CByteBuffer written;
        out.moveTo(written);
        EXPECT_EQ(std::vector<std::uint8_t>(written.data(), written.data() + written.size()), bytes);
    }
}

} // namespace
} // namespace tal
