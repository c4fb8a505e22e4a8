#include "Core/CResourceReader.h"

#include "Core/CResourceMap.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/SampleData.h"
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

// Embedded into this test program by tal_embed_resources (Sources/Core/Streams.cmake).
extern const tal::CResourceEntry talStreamsTestResources[];

namespace tal {
namespace {

using test::Bytes;

class CResourceReaderTest : public ::testing::Test {
protected:
    void SetUp() override { CResourceMap::indexTable(talStreamsTestResources); }
    void TearDown() override { CResourceMap::clear(); }
};

std::string fixture(const char* name) {
    // (A std::string + chain of the folder's literal draws a wrong GCC 12 warning for some lengths.)
    return test::readWholeFile((std::filesystem::path(TAL_STREAMS_FIXTURES) / name).string());
}

TEST_F(CResourceReaderTest, EmbeddedPayloadsAreTheFilesBytesReadInPlace) {
    struct Case {
        const char* resource;
        const char* file;
    };
    for (const Case& c : {Case{"SharedData.xml", "shared.txt"}, Case{"../../../Gfx/Imagesets/noise.is", "noise.bin"},
                          Case{"empty", "empty.bin"}}) {
        SCOPED_TRACE(c.resource);
        const std::string expect = fixture(c.file);
        const CResourceMap::CPayload* payload = CResourceMap::find(CString(c.resource));
        ASSERT_NE(payload, nullptr);
        CResourceReader r;
        ASSERT_EQ(r.open(CString(c.resource)), nullptr);
        EXPECT_TRUE(r.isEmbedded());
        std::uint64_t size = 0, position = 9;
        ASSERT_EQ(r.getSize(size), nullptr);
        ASSERT_EQ(r.getPosition(position), nullptr);
        EXPECT_EQ(size, expect.size());
        EXPECT_EQ(position, 0u);
        EXPECT_EQ(r.getDataPtr(), expect.empty() ? nullptr : payload->data);   // no copy
        std::string bytes(expect.size(), '\0');
        ASSERT_EQ(r.read(bytes.data(), std::int32_t(bytes.size())), nullptr);
        EXPECT_EQ(bytes, expect);
    }
}

TEST_F(CResourceReaderTest, NamesAreCaseSensitiveAndFallBackToFiles) {
    CResourceReader r;
    const std::vector<std::string> lines = test::takeLines(r.open(CString("shareddata.xml")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Unable to open file 'shareddata.xml' for reading (error 2).");
    EXPECT_EQ(lines[1].rfind("Core/CFileReader( ", 0), 0u);
    EXPECT_EQ(lines[2].rfind("Core/CResourceReader( ", 0), 0u);
    EXPECT_FALSE(r.isEmbedded());
    char c;
    EXPECT_NE(test::takeMessage(r.read(&c, 1)), "");

    test::TempFolder tmp;
    test::writeWholeFile(tmp.file("plain.bin"), "file bytes");
    ASSERT_EQ(r.open(CString(tmp.file("plain.bin").c_str())), nullptr);
    EXPECT_FALSE(r.isEmbedded());
    EXPECT_EQ(r.getDataPtr(), nullptr);
    char out[10];
    ASSERT_EQ(r.read(out, 10), nullptr);
    EXPECT_EQ(std::string(out, 10), "file bytes");
}

TEST_F(CResourceReaderTest, ReadingPastThePayloadCarriesBothTraceLines) {
    CResourceReader r;
    ASSERT_EQ(r.open(CString("SharedData.xml")), nullptr);
    const std::int32_t size = std::int32_t(fixture("shared.txt").size());
    std::vector<char> out(std::size_t(size) + 1);
    const std::vector<std::string> lines = test::takeLines(r.read(out.data(), size + 1));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Premature end of memory resource while reading (pos 0, count " + std::to_string(size + 1) +
                            ", size " + std::to_string(size) + ").");
    EXPECT_EQ(lines[1].rfind("Core/CMemoryReader( ", 0), 0u);
    EXPECT_EQ(lines[2].rfind("Core/CResourceReader( ", 0), 0u);
}

TEST_F(CResourceReaderTest, UnopenedReaderFails) {
    CResourceReader r;
    char c;
    EXPECT_EQ(test::takeMessage(r.read(&c, 1)), "No resource opened.");
    EXPECT_EQ(r.getDataPtr(), nullptr);
}

TEST_F(CResourceReaderTest, ImageSetRecordIsDecodedInPlaceAndEndsTheResource) {
    // An image-set payload: version 1, then a DRIX record with tag 0 that fills the rest.
    const Bytes image = test::imageLikeBytes(20000, 4);
    CWriteSeqBuffer out;
    ASSERT_EQ(out.write32(1), nullptr);
    ASSERT_EQ(out.writeCompressedDataDRIX(test::bufferOf(image), 0), nullptr);
    Bytes blob(4 + std::size_t(out.getSize()));
    const std::uint32_t n = std::uint32_t(out.getSize());
    blob[0] = std::uint8_t(n);
    blob[1] = std::uint8_t(n >> 8);
    blob[2] = std::uint8_t(n >> 16);
    blob[3] = std::uint8_t(n >> 24);
    out.copyTo(blob.data() + 4);
    const CResourceEntry table[] = {{blob.data(), "../../../Gfx/Imagesets/knob4.is"}, {nullptr, nullptr}};
    CResourceMap::indexTable(table);

    CResourceReader r;
    ASSERT_EQ(r.open(CString("../../../Gfx/Imagesets/knob4.is")), nullptr);
    std::uint32_t version = 0;
    ASSERT_EQ(r.read32(version), nullptr);
    EXPECT_EQ(version, 1u);
    CByteBuffer pixels;
    ASSERT_EQ(r.readCompressedDataDRIX(pixels, 0), nullptr);
    EXPECT_TRUE(test::bytesOf(pixels) == image);
    EXPECT_EQ(r.getRemainingSize(), 0);
}

} // namespace
} // namespace tal
