#include "Other/CWaveFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/WaveBytes.h"
#include "support/WaveTestUtil.h"

namespace tal {
namespace {

using test::fmtBody;
using test::MemoryWave;
using test::readAll;
using test::riffFile;
using test::asciiOf;
using test::takeMessage;
using test::WaveBytes;

// A stereo 16-bit RIFF file at 44100 Hz whose data holds the given bytes.
WaveBytes pcm16File(const WaveBytes& data, const WaveBytes& extraChunks = WaveBytes()) {
    WaveBytes chunks;
    chunks.chunk("fmt ", fmtBody(1, 2, 44100, 4, 16)).chunk("data", data).raw(extraChunks.bytes);
    return riffFile(chunks);
}

WaveBytes frames16(int count) {   // stereo frames: left = i, right = -i
    WaveBytes data;
    for (int i = 0; i < count; ++i) data.le16(std::uint32_t(i) & 0xFFFF).le16(std::uint32_t(-i) & 0xFFFF);
    return data;
}

// --- container detection ---

// An unknown container is named by its four characters when they are printable, else by their
// value as a little-endian number.
TEST(CWaveFile, UnrecognizedContainerIsNamedInTheMessage) {
    EXPECT_EQ(MemoryWave(WaveBytes().text("abcdefgh").bytes).openMessage(), "Unrecognized file type 'abcd'.");
    EXPECT_EQ(MemoryWave(WaveBytes().text("Ogg ").zeros(8).bytes).openMessage(), "Unrecognized file type 'Ogg '.");
    EXPECT_EQ(MemoryWave(WaveBytes().raw({0x89, 'P', 'N', 'G', 0, 0, 0, 0}).bytes).openMessage(),
              "Unrecognized file type '1196314761'.");   // 0x474E5089
    EXPECT_EQ(MemoryWave(WaveBytes().raw({'a', 'b', 0x7F, 'd', 0, 0, 0, 0}).bytes).openMessage(),
              "Unrecognized file type '1686069857'.");   // 0x647F6261: DEL is not printable
}

TEST(CWaveFile, StreamShorterThanAnIdFailsWithTheStreamsError) {
    MemoryWave w({'R', 'I', 'F'});
    const std::string message = w.openMessage();
    EXPECT_NE(message, "");
    EXPECT_EQ(message.find("Unrecognized"), std::string::npos);
}

TEST(CWaveFile, OpensPlainPcmAndDeliversSamples) {
    MemoryWave w(pcm16File(WaveBytes().raw({0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0xFF, 0xFF})).bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_EQ(w.wave.sampleRate, 44100.0);
    EXPECT_EQ(w.wave.channelCount, 2);
    EXPECT_EQ(w.wave.frameCount, 2);
    EXPECT_EQ(w.wave.blockAlign, 4);
    EXPECT_EQ(w.wave.physicalBits, 16);
    EXPECT_EQ(w.wave.realBits, 16);
    EXPECT_FALSE(w.wave.isFloat);
    EXPECT_EQ(w.wave.dataOffset, 12 + 8 + 16 + 8);
    const auto ch = readAll(w.wave);
    ASSERT_EQ(ch.size(), 2u);
    EXPECT_EQ(ch[0], (std::vector<double>{-1.0, 1.0 / 32768}));
    EXPECT_EQ(ch[1], (std::vector<double>{32767.0 / 32768, -1.0 / 32768}));
}

TEST(CWaveFile, FormatOrDataMissingMeansNoSoundData) {
    WaveBytes onlyFmt, onlyData;
    onlyFmt.chunk("fmt ", fmtBody(1, 1, 8000, 2, 16));
    onlyData.chunk("data", frames16(2));
    for (const WaveBytes& chunks : {onlyFmt, onlyData}) {
        MemoryWave w(riffFile(chunks).bytes);
        EXPECT_EQ(w.openMessage(), "File lacks recognized PCM sound data.");
    }
}

TEST(CWaveFile, FormTypeOtherThanWaveIsRejected) {
    WaveBytes b;
    b.id("RIFF").le32(4).id("AVI ");
    MemoryWave w(b.bytes);
    EXPECT_EQ(w.openMessage(), "Invalid WAVE header ('AVI ').");
}

TEST(CWaveFile, UnknownChunksAndOddPadBytesAreSkipped) {
    WaveBytes chunks;
    chunks.chunk("junk", WaveBytes().zeros(3))   // odd: one pad byte follows
        .chunk("fact", WaveBytes().le32(2))
        .chunk("fmt ", fmtBody(1, 2, 44100, 4, 16))
        .chunk("data", frames16(2));
    // The RIFF size does not count the pad byte of the first chunk; the walk skips it anyway.
    WaveBytes file = riffFile(chunks);
    file.bytes[4] -= 1;
    MemoryWave w(file.bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_EQ(readAll(w.wave)[0], (std::vector<double>{0.0, 1.0 / 32768}));
}

TEST(CWaveFile, TrailingBytesShorterThanAChunkHeaderAreIgnored) {
    WaveBytes file = pcm16File(frames16(1));
    file.raw({1, 2, 3, 4, 5, 6, 7, 8});
    file.bytes[4] += 8;   // counted in the RIFF size, yet no chunk header fits in 8 bytes
    MemoryWave w(file.bytes);
    EXPECT_EQ(w.open(), "");
}

TEST(CWaveFile, RiffSizeBeyondTheStreamFailsWithTheStreamsError) {
    WaveBytes file = pcm16File(frames16(1));
    file.bytes[4] += 100;
    MemoryWave w(file.bytes);
    const std::string message = w.openMessage();
    EXPECT_NE(message, "");
    EXPECT_EQ(message.find("Data composition"), std::string::npos) << message;
}

// --- the format chunk ---

struct FormatCase {
    const char* name;
    WaveBytes fmt;
    std::string message;   // "" = accepted
    int physicalBits, realBits;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class WaveFormatChunk : public ::testing::TestWithParam<FormatCase> {};

TEST_P(WaveFormatChunk, AcceptsOrRejectsWithItsMessage) {
    const FormatCase& c = GetParam();
    WaveBytes chunks;
    chunks.chunk("fmt ", c.fmt).chunk("data", WaveBytes().zeros(48));
    MemoryWave w(riffFile(chunks).bytes);
    const std::string message = w.openMessage();
    if (c.message.empty()) {
        ASSERT_EQ(message, "");
        EXPECT_EQ(w.wave.physicalBits, c.physicalBits);
        EXPECT_EQ(w.wave.realBits, c.realBits);
    } else {
        EXPECT_EQ(message, c.message);
    }
}

WaveBytes extensible(std::uint32_t bits, std::uint32_t extSize, std::uint32_t validBits, std::uint32_t subFormat, std::uint32_t align = 6) {
    WaveBytes b;
    b.le16(0xFFFE).le16(2).le32(48000).le32(48000 * align).le16(align).le16(bits).le16(extSize).le16(validBits).le32(3);
    b.guid(subFormat, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WaveFormatChunk,
    ::testing::Values(
        FormatCase{"NoBitsField14", WaveBytes().le16(1).le16(1).le32(8000).le32(16000).le16(2), "Data composition error (left 0, required 2).", 0, 0},
        FormatCase{"NoBitsField15", WaveBytes().le16(1).le16(1).le32(8000).le32(16000).le16(2).raw({0}),
                   "Data composition error (left 1, required 2).", 0, 0},
        FormatCase{"ZeroChannels", fmtBody(1, 0, 8000, 2, 16), "Unsupported channel count '0'.", 0, 0},
        FormatCase{"TooManyChannels", fmtBody(1, 257, 8000, 514, 16), "Unsupported channel count '257'.", 0, 0},
        FormatCase{"UnknownTag", fmtBody(2, 1, 8000, 2, 16), "Unsupported format tag '2'.", 0, 0},
        FormatCase{"Pcm24In32", fmtBody(1, 2, 48000, 8, 24), "", 32, 24},
        FormatCase{"Pcm24Packed", fmtBody(1, 2, 48000, 6, 24), "", 24, 24},
        FormatCase{"Pcm12", fmtBody(1, 1, 8000, 2, 12), "", 16, 12},
        FormatCase{"PcmRealAbovePhysical", fmtBody(1, 1, 8000, 2, 24), "Unsupported real bit depth '24' (physical '16').", 0, 0},
        FormatCase{"Pcm40", fmtBody(1, 1, 8000, 5, 40), "Unsupported physical bit depth '40'.", 0, 0},
        FormatCase{"Float16", fmtBody(3, 1, 8000, 2, 16), "Unsupported IEEE floating point bit depth '16'.", 0, 0},
        FormatCase{"Float32In64", fmtBody(3, 1, 8000, 8, 32), "Real bit depth '32' is not equal to physical bit depth '64'.", 0, 0},
        FormatCase{"Float64", fmtBody(3, 1, 8000, 8, 64), "", 64, 64},
        FormatCase{"ExtensibleSize22", extensible(24, 22, 20, 1), "", 24, 20},
        FormatCase{"ExtensibleSize21", extensible(24, 21, 20, 1), "Unsupported extensible WAVE format (block size '21').", 0, 0},
        FormatCase{"ExtensibleZeroBits", extensible(0, 22, 20, 1), "Unsupported extensible WAVE format.", 0, 0},
        FormatCase{"ExtensibleZeroValidBits", extensible(24, 22, 0, 1), "Unsupported real bit depth '0' (physical '24').", 0, 0},
        FormatCase{"ExtensibleUnknownSubFormat", extensible(24, 22, 24, 2), "Unsupported extensible WAVE format.", 0, 0},
        FormatCase{"ExtensibleFloat", extensible(32, 22, 32, 3, 8), "", 32, 32}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(CWaveFile, ExtensibleFormatKeepsChannelMaskAndSubFormat) {
    WaveBytes chunks;
    chunks.chunk("fmt ", extensible(32, 22, 32, 3, 8)).chunk("data", WaveBytes().le32(0x3FC00000).le32(0xBF800000));
    MemoryWave w(riffFile(chunks).bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_TRUE(w.wave.isFloat);
    EXPECT_EQ(w.wave.channelMask, 3u);
    const auto ch = readAll(w.wave);
    EXPECT_EQ(ch[0], std::vector<double>{1.5});   // floats are not clipped
    EXPECT_EQ(ch[1], std::vector<double>{-1.0});
}

// --- metadata chunks ---

TEST(CWaveFile, InfoListFillsTextsAndInfoMap) {
    WaveBytes info;
    info.id("INFO")
        .chunk("INAM", WaveBytes().text("Title").raw({0}))
        .chunk("ICMT", WaveBytes().text("first").raw({0}))
        .chunk("ICMT", WaveBytes().text("second"))
        .chunk("IGNR", WaveBytes().text("Noise").raw({0}))
        .chunk("ISFT", WaveBytes().text(std::string("ab\0cd", 5)));
    MemoryWave w(pcm16File(frames16(1), WaveBytes().chunk("LIST", info)).bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_EQ(asciiOf(w.wave.title), "Title");
    EXPECT_EQ(asciiOf(w.wave.comment), "second");
    EXPECT_EQ(asciiOf(w.wave.software), "ab");   // cut at the first NUL
    ASSERT_EQ(w.wave.infoTexts.count(), 1);
    const auto* node = w.wave.infoTexts.find(CString("IGNR"));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(asciiOf(node->value), "Noise");
}

TEST(CWaveFile, InfoItemWithoutItsPadByteAtTheListEndIsAnError) {
    WaveBytes info;
    info.id("INFO").chunk("INAM", WaveBytes().text("abc"), false);
    MemoryWave w(pcm16File(frames16(1), WaveBytes().chunk("LIST", info)).bytes);
    EXPECT_EQ(w.openMessage(), "Data composition error (left 0, required 1).");
}

TEST(CWaveFile, InfoItemAboveTheTextLimitIsRejected) {
    WaveBytes info;
    info.id("INFO").chunk("INAM", WaveBytes().zeros(131074));
    MemoryWave w(pcm16File(frames16(1), WaveBytes().chunk("LIST", info)).bytes);
    EXPECT_EQ(w.openMessage(), "Invalid or unsupported textual string detected (l=131074).");
}

WaveBytes cuePoint(std::uint32_t id, std::uint32_t position, const char* chunk, std::uint32_t blockStart, std::uint32_t sampleOffset) {
    WaveBytes b;
    b.le32(id).le32(position).id(chunk).le32(0).le32(blockStart).le32(sampleOffset);
    return b;
}

TEST(CWaveFile, CuePointsLabelsAndRegionsBecomeMarkers) {
    WaveBytes cue;
    cue.le32(3).raw(cuePoint(7, 100, "data", 40, 8).bytes).raw(cuePoint(8, 5, "slnt", 0, 0).bytes).raw(cuePoint(9, 200, "data", 0, 12).bytes);
    WaveBytes adtl;
    adtl.id("adtl")
        .chunk("labl", WaveBytes().le32(9).text("second").raw({0}))
        .chunk("labl", WaveBytes().le32(7).text("first").raw({0}))
        .chunk("labl", WaveBytes().le32(42).zeros(140000))   // no such cue id: ignored, however long
        .chunk("ltxt", WaveBytes().le32(9).le32(4410).id("rgn ").zeros(8))
        .chunk("ltxt", WaveBytes().le32(7).le32(99).id("othr").zeros(8));
    WaveBytes extra;
    extra.chunk("cue ", cue).chunk("LIST", adtl);
    MemoryWave w(pcm16File(frames16(300), extra).bytes);
    ASSERT_EQ(w.open(), "");
    ASSERT_EQ(w.wave.markers.count(), 2);   // the "slnt" point is dropped
    const CWaveFile::CMarker& a = *w.wave.markers[0];
    const CWaveFile::CMarker& b = *w.wave.markers[1];
    EXPECT_EQ(a.id, 7u);
    EXPECT_EQ(a.position, 100);
    EXPECT_EQ(a.blockStart, 10);    // 40 bytes / 4 bytes per frame
    EXPECT_EQ(a.sampleOffset, 2);
    EXPECT_EQ(a.length, 0);
    EXPECT_EQ(asciiOf(a.label), "first");
    EXPECT_EQ(b.id, 9u);
    EXPECT_EQ(b.sampleOffset, 3);
    EXPECT_EQ(b.length, 4410);
    EXPECT_EQ(asciiOf(b.label), "second");
}

WaveBytes smplBody(std::uint32_t loops, std::uint32_t dataBytes, std::uint32_t loopsPresent) {
    WaveBytes b;
    b.le32(1).le32(2).le32(22676).le32(60).le32(0).le32(0).le32(0).le32(loops).le32(dataBytes);
    for (std::uint32_t i = 0; i < loopsPresent; ++i) b.le32(i).le32(0).le32(10 + i).le32(20 + i).le32(0).le32(1);
    return b;
}

TEST(CWaveFile, SamplerChunkLimits) {
    struct Row { std::uint32_t loops, present, dataBytes; std::string message; };
    const Row rows[] = {
        {8192, 8192, 3, ""},
        {8193, 8193, 0, "Invalid or unsupported number of sample loops detected (c=8193)."},
        {2, 1, 0, "Data composition error (left 24, required 48)."},
        {0, 0, 1048577, "Invalid or unsupported sampler data detected (l=1048577)."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.loops);
        WaveBytes body = smplBody(r.loops, r.dataBytes, r.present);
        if (r.dataBytes == 3) body.raw({0xAA, 0xBB, 0xCC});
        MemoryWave w(pcm16File(frames16(1), WaveBytes().chunk("smpl", body)).bytes);
        EXPECT_EQ(r.message.empty() ? std::string() : r.message, w.openMessage());
        if (r.message.empty()) {
            ASSERT_NE(w.wave.samplerInfo, nullptr);
            EXPECT_EQ(w.wave.samplerInfo->midiUnityNote, 60u);
            ASSERT_EQ(w.wave.samplerInfo->loops.count(), 8192);
            EXPECT_EQ(w.wave.samplerInfo->loops[8191].end, 20u + 8191);
            ASSERT_EQ(w.wave.samplerInfo->samplerData.size(), 3);
            EXPECT_EQ(w.wave.samplerInfo->samplerData.data()[2], 0xCC);
        }
    }
}

WaveBytes bextBody(const std::string& history) {
    WaveBytes b;
    b.text("A description").zeros(256 - 13).text("Originator").zeros(22).zeros(32).text("2026-12-10").text("23:59:59");
    b.le32(0x89ABCDEF).le32(0x1).le16(2);
    for (int i = 0; i < 64; ++i) b.raw({std::uint8_t(i)});
    for (int i = 0; i < 190; ++i) b.raw({std::uint8_t(255 - i)});
    return b.text(history);
}

TEST(CWaveFile, BroadcastChunkIsReadFieldByField) {
    for (const std::string& history : {std::string(), std::string("A=PCM\r\n\0junk", 13)}) {
        MemoryWave w(pcm16File(frames16(1), WaveBytes().chunk("bext", bextBody(history))).bytes);
        ASSERT_EQ(w.open(), "");
        ASSERT_NE(w.wave.broadcastInfo, nullptr);
        const CWaveFile::CBroadcastInfo& b = *w.wave.broadcastInfo;
        EXPECT_EQ(asciiOf(b.description), "A description");
        EXPECT_EQ(asciiOf(b.originator), "Originator");
        EXPECT_EQ(asciiOf(b.originationDate), "2026-12-10");
        EXPECT_EQ(asciiOf(b.originationTime), "23:59:59");
        EXPECT_EQ(b.timeReference, 0x189ABCDEFull);
        EXPECT_EQ(b.version, 2u);
        EXPECT_EQ(b.umid[63], 63);
        EXPECT_EQ(b.reserved[189], 255 - 189);
        EXPECT_EQ(asciiOf(b.codingHistory), history.empty() ? "" : "A=PCM\r\n");
    }
}

// --- RF64 ---

WaveBytes rf64File(std::uint32_t riffSize, std::uint64_t ds64Data, std::uint32_t dataHeaderSize, const WaveBytes& data, bool ds64First = true) {
    WaveBytes ds64, chunks;
    ds64.le64(0).le64(ds64Data).le64(0).le32(0);
    if (ds64First) chunks.chunk("ds64", ds64);
    chunks.chunk("fmt ", fmtBody(1, 2, 44100, 4, 16));
    chunks.id("data").le32(dataHeaderSize).raw(data.bytes);
    if (!ds64First) chunks.chunk("ds64", ds64);
    WaveBytes file;
    file.id("RF64").le32(riffSize).id("WAVE").raw(chunks.bytes);
    // The 64-bit RIFF size: everything after the first 8 bytes.
    const std::uint64_t riff64 = file.size() - 8;
    if (ds64First) std::memcpy(&file.bytes[20], &riff64, 8);
    return file;
}

TEST(CWaveFile, Rf64TakesTheDataSizeFromDs64) {
    MemoryWave w(rf64File(0xFFFFFFFF, 8, 0xFFFFFFFF, frames16(3)).bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_TRUE(w.wave.isRF64);
    EXPECT_TRUE(w.wave.usesDs64Sizes);
    EXPECT_EQ(w.wave.frameCount, 2);   // 8 bytes from ds64, not the 12 that follow
}

TEST(CWaveFile, Rf64WithoutDs64BeforeTheDataFails) {
    MemoryWave w(rf64File(0xFFFFFFFF, 8, 0xFFFFFFFF, frames16(2), false).bytes);
    EXPECT_EQ(w.openMessage(), "The required 'ds64' chunk not found when loading sample data.");
}

TEST(CWaveFile, Rf64WithARealRiffSizeReadsLikeRiff) {
    WaveBytes file = rf64File(0, 4, 8, frames16(2));
    const std::uint32_t size = std::uint32_t(file.size() - 8);
    std::memcpy(&file.bytes[4], &size, 4);
    MemoryWave w(file.bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_FALSE(w.wave.usesDs64Sizes);
    EXPECT_EQ(w.wave.frameCount, 2);   // the data header's size replaced the ds64 value
}

TEST(CWaveFile, Ds64SizesAtOrAbove2To63AreRejected) {
    MemoryWave w(rf64File(0xFFFFFFFF, 0x8000000000000000ull, 0xFFFFFFFF, frames16(1)).bytes);
    const std::string message = w.openMessage();
    EXPECT_EQ(message.rfind("Data composition error", 0), 0u) << message;
}

// --- Wave64 ---

WaveBytes w64File(const WaveBytes& chunks) {
    WaveBytes file;
    test::w64Guid(file, "riff").le64(chunks.size() + 40);
    test::w64Guid(file, "wave").raw(chunks.bytes);
    return file;
}

WaveBytes utf16(const std::u16string& s, bool terminate) {
    WaveBytes b;
    for (char16_t c : s) b.le16(c);
    if (terminate) b.le16(0);
    return b;
}

TEST(CWaveFile, Wave64WithSummaryListAndMarkers) {
    WaveBytes summary;
    const WaveBytes t1 = utf16(u"Caf\u00E9", true), t2 = utf16(u"\u4E2D\uFFFD", false), t3 = utf16(u"Label", true);
    summary.le32(2).id("INAM").le32(t1.size()).raw(t1.bytes).id("IGNR").le32(t2.size() + 1).raw(t2.bytes).raw({0x41});
    WaveBytes markers;
    markers.le32(1).le32(5).le32(0).le64(3).le64(2).le32(t3.size()).le32(0).raw(t3.bytes);
    WaveBytes chunks;
    test::w64Chunk(chunks, "fmt ", fmtBody(1, 2, 44100, 4, 16));
    test::w64Chunk(chunks, "unknown", WaveBytes().zeros(13));   // 37-byte chunk: 3 pad bytes
    test::w64Chunk(chunks, "summary", summary);
    test::w64Chunk(chunks, "marker", markers);
    test::w64Chunk(chunks, "data", frames16(4));
    MemoryWave w(w64File(chunks).bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_TRUE(w.wave.isWave64);
    EXPECT_EQ(w.wave.frameCount, 4);
    EXPECT_EQ(readAll(w.wave)[1], (std::vector<double>{0.0, -1.0 / 32768, -2.0 / 32768, -3.0 / 32768}));
    EXPECT_FALSE(w.wave.title.isWide());
    EXPECT_EQ(w.wave.title.length(), 4);
    EXPECT_EQ(w.wave.title.charAt(3), 0xE9u);
    const auto* genre = w.wave.infoTexts.find(CString("IGNR"));
    ASSERT_NE(genre, nullptr);
    EXPECT_TRUE(genre->value.isWide());
    ASSERT_EQ(genre->value.length(), 2);   // the odd trailing byte is ignored
    EXPECT_EQ(genre->value.charAt(0), 20013u);
    EXPECT_EQ(genre->value.charAt(1), 65533u);
    ASSERT_EQ(w.wave.markers.count(), 1);
    EXPECT_EQ(w.wave.markers[0]->id, 5u);
    EXPECT_EQ(w.wave.markers[0]->position, 3);
    EXPECT_EQ(w.wave.markers[0]->length, 2);
    EXPECT_EQ(asciiOf(w.wave.markers[0]->label), "Label");
}

TEST(CWaveFile, Wave64ChunkSizesThatCannotBeChunksAreRejected) {
    // Sizes below the 24-byte header would move the walk backwards or keep it on one header
    // for ever; sizes at or above 2^63 would turn negative.
    for (const std::uint64_t size : {0ull, 23ull, 0x8000000000000000ull, 0xFFFFFFFFFFFFFFF0ull}) {
        SCOPED_TRACE(size);
        WaveBytes chunks;
        test::w64Chunk(chunks, "fmt ", fmtBody(1, 2, 44100, 4, 16));
        test::w64Guid(chunks, "unknown").le64(size).zeros(64);
        MemoryWave w(w64File(chunks).bytes);
        const std::string message = w.openMessage();
        EXPECT_EQ(message.rfind("Data composition error", 0), 0u) << message;
    }
}

TEST(CWaveFile, Wave64TextLengthWithTheTopBitSetIsRejected) {
    WaveBytes summary;
    summary.le32(1).id("INAM").le32(0x80000000u).zeros(16);
    WaveBytes chunks;
    test::w64Chunk(chunks, "summary", summary);
    MemoryWave w(w64File(chunks).bytes);
    EXPECT_EQ(w.openMessage(), "Invalid or unsupported textual string detected (l=2147483648).");
}

TEST(CWaveFile, Wave64WithAnotherGuidLacksSoundData) {
    WaveBytes file;
    file.text("riff").zeros(60);
    MemoryWave w(file.bytes);
    EXPECT_EQ(w.openMessage(), "File lacks recognized PCM sound data.");
}

// --- AIFF and AIFC ---

// 80-bit extended 44100: exponent 16398, mantissa 0xAC44000000000000.
const std::initializer_list<std::uint8_t> kRate44100 = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};

WaveBytes aiffFile(const char* form, std::uint32_t channels, std::uint32_t bits, const char* compression, const WaveBytes& ssndData,
                   const WaveBytes& extra = WaveBytes()) {
    WaveBytes comm;
    comm.be16(channels).be32(std::uint32_t(ssndData.size() / (channels * bits / 8))).be16(bits).raw(kRate44100);
    if (compression) comm.id(compression).raw({0});
    WaveBytes ssnd;
    ssnd.be32(0).be32(0).raw(ssndData.bytes);
    WaveBytes chunks;
    chunks.id(form).chunkBE("COMM", comm).raw(extra.bytes).chunkBE("SSND", ssnd);
    WaveBytes file;
    file.id("FORM").be32(std::uint32_t(chunks.size())).raw(chunks.bytes);
    return file;
}

TEST(CWaveFile, AiffStereo16IsBigEndianSigned) {
    MemoryWave w(aiffFile("AIFF", 2, 16, nullptr, WaveBytes().raw({0x80, 0x00, 0x7F, 0xFF, 0x00, 0x01, 0xFF, 0xFF})).bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_EQ(w.wave.sampleRate, 44100.0);
    EXPECT_EQ(w.wave.blockAlign, 4);
    EXPECT_EQ(w.wave.dataOffset, 12 + 8 + 18 + 8 + 8);
    const auto ch = readAll(w.wave);
    EXPECT_EQ(ch[0], (std::vector<double>{-1.0, 1.0 / 32768}));
    EXPECT_EQ(ch[1], (std::vector<double>{32767.0 / 32768, -1.0 / 32768}));
}

TEST(CWaveFile, AiffEightBitSamplesAreSigned) {
    MemoryWave w(aiffFile("AIFF", 1, 8, nullptr, WaveBytes().raw({0x80, 0x00, 0x7F, 0xFF})).bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_EQ(readAll(w.wave)[0], (std::vector<double>{-1.0, 0.0, 127.0 / 128, -1.0 / 128}));
}

TEST(CWaveFile, AifcCompressionTypes) {
    struct Row { const char* type; std::uint32_t bits; WaveBytes data; std::string message; double first; };
    const Row rows[] = {
        {"NONE", 16, WaveBytes().raw({0x40, 0x00}), "", 0.5},
        {"sowt", 16, WaveBytes().raw({0x00, 0x40}), "", 0.5},
        {"fl32", 32, WaveBytes().be32(0x3FC00000), "", 1.5},
        {"FL32", 32, WaveBytes().be32(0xBF800000), "", -1.0},
        {"fl64", 64, WaveBytes().be32(0x3FF80000).be32(0), "", 1.5},
        {"fl32", 64, WaveBytes().be32(0x3FF80000).be32(0), "", 1.5},   // the size decides the width
        {"ulaw", 16, WaveBytes().raw({0, 0}), "Unsupported AIFF file format.", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        MemoryWave w(aiffFile("AIFC", 1, r.bits, r.type, r.data).bytes);
        const std::string message = w.openMessage();
        if (!r.message.empty()) {
            EXPECT_EQ(message, r.message);
            continue;
        }
        ASSERT_EQ(message, "");
        EXPECT_EQ(readAll(w.wave)[0], std::vector<double>{r.first});
    }
}

TEST(CWaveFile, AiffBitDepthsOutsideTheSetAreRejected) {
    MemoryWave twelve(aiffFile("AIFF", 1, 12, nullptr, WaveBytes().zeros(4)).bytes);
    EXPECT_EQ(twelve.openMessage(), "Unsupported AIFF file format, bits 12.");
    MemoryWave integer64(aiffFile("AIFF", 1, 64, nullptr, WaveBytes().zeros(8)).bytes);
    EXPECT_EQ(integer64.openMessage(), "Unsupported physical bit depth '64'.");
}

TEST(CWaveFile, AiffTextChunksAndDamagedTail) {
    WaveBytes texts;
    texts.chunkBE("NAME", WaveBytes().text("Name")).chunkBE("ANNO", WaveBytes().text("one")).chunkBE("ANNO", WaveBytes().text("two"));
    texts.chunkBE("MARK", WaveBytes().zeros(10)).chunkBE("(c) ", WaveBytes().text("2026"));
    WaveBytes file = aiffFile("AIFF", 1, 16, nullptr, WaveBytes().zeros(4), texts);
    file.raw({'J', 'U', 'N', 'K', 0x7F, 0xFF, 0xFF, 0xFF, 1, 2});   // a header claiming more than is left
    const std::uint32_t formSize = std::uint32_t(file.size() - 8 + 1000);   // and a FORM larger than the file
    file.bytes[4] = std::uint8_t(formSize >> 24);
    file.bytes[5] = std::uint8_t(formSize >> 16);
    file.bytes[6] = std::uint8_t(formSize >> 8);
    file.bytes[7] = std::uint8_t(formSize);
    MemoryWave w(file.bytes);
    ASSERT_EQ(w.open(), "");
    EXPECT_EQ(asciiOf(w.wave.title), "Name");
    EXPECT_EQ(asciiOf(w.wave.comment), "two");
    EXPECT_EQ(asciiOf(w.wave.copyright), "2026");
    EXPECT_EQ(w.wave.markers.count(), 0);
}

TEST(CWaveFile, AiffTextChunkAboveTheTextLimitIsRejected) {
    // Without a limit a crafted size would allocate up to 4 GiB before the short read fails.
    WaveBytes name;
    name.id("NAME").be32(0x7FFFFFF0).zeros(16);
    WaveBytes chunks;
    chunks.id("AIFF").raw(name.bytes);
    WaveBytes file;
    file.id("FORM").be32(0x7FFFFFFF).raw(chunks.bytes);
    MemoryWave w(file.bytes);
    EXPECT_EQ(w.openMessage(), "Invalid or unsupported textual string detected (l=2147483632).");
}

TEST(CWaveFile, SsndOffsetBeyondTheChunkFailsAtPositioning) {
    WaveBytes file = aiffFile("AIFF", 1, 16, nullptr, WaveBytes().zeros(4));
    file.bytes[file.size() - 4 - 8 + 3] = 12;   // offset 12 in an SSND of 12 bytes
    MemoryWave w(file.bytes);
    EXPECT_EQ(w.openMessage(), "Changing read position (0) beyond available sample data (-4) is not allowed.");
}

// --- reading, positioning and skipping ---

TEST(CWaveFile, ReadsInBlocksAcrossTheBufferAndEndsWithMinusOne) {
    MemoryWave w(pcm16File(frames16(30000)).bytes);
    ASSERT_EQ(w.open(), "");
    std::vector<double> left(20000), right(20000);
    double* channels[2] = {left.data(), right.data()};
    std::int32_t got = 0;
    ASSERT_EQ(w.wave.readSamples(channels, 20000, got), nullptr);
    EXPECT_EQ(got, 20000);
    EXPECT_EQ(left[19999], 19999.0 / 32768);
    EXPECT_EQ(right[16384], -16384.0 / 32768);
    ASSERT_EQ(w.wave.readSamples(channels, 20000, got), nullptr);
    EXPECT_EQ(got, 10000);
    EXPECT_EQ(left[0], 20000.0 / 32768);
    ASSERT_EQ(w.wave.readSamples(channels, 20000, got), nullptr);
    EXPECT_EQ(got, -1);
}

TEST(CWaveFile, PositioningWithinAndBeyondTheData) {
    MemoryWave w(pcm16File(frames16(100)).bytes);
    ASSERT_EQ(w.open(), "");
    double l = 0, r = 0;
    double* channels[2] = {&l, &r};
    std::int32_t got = 0;
    ASSERT_EQ(w.wave.setSamplePos(100), nullptr);
    ASSERT_EQ(w.wave.readSamples(channels, 1, got), nullptr);
    EXPECT_EQ(got, -1);
    for (const std::int64_t bad : {std::int64_t(101), std::int64_t(-1)}) {
        EXPECT_EQ(takeMessage(w.wave.setSamplePos(bad)),
                  "Changing read position (" + std::to_string(bad) + ") beyond available sample data (100) is not allowed.");
    }
    ASSERT_EQ(w.wave.setSamplePos(42), nullptr);
    ASSERT_EQ(w.wave.readSamples(channels, 1, got), nullptr);
    EXPECT_EQ(l, 42.0 / 32768);
}

TEST(CWaveFile, SkippingMatchesReading) {
    // Every pattern of reads and skips delivers the frames at the positions it has reached.
    const int total = 40000;
    for (const std::vector<int>& steps : {std::vector<int>{100, -50, 16384, -20000, 3}, {-16384, 1, -1, 30000}, {-40001}}) {
        SCOPED_TRACE(::testing::PrintToString(steps));
        MemoryWave w(pcm16File(frames16(total)).bytes);
        ASSERT_EQ(w.open(), "");
        int position = 0;
        for (const int step : steps) {
            std::int32_t got = 0;
            if (step < 0) {
                ASSERT_EQ(w.wave.skipSamples(-step, got), nullptr);
                const int expected = position == total ? -1 : std::min(-step, total - position);
                EXPECT_EQ(got, expected);
            } else {
                std::vector<double> l(static_cast<std::size_t>(step)), r(static_cast<std::size_t>(step));
                double* channels[2] = {l.data(), r.data()};
                ASSERT_EQ(w.wave.readSamples(channels, step, got), nullptr);
                EXPECT_EQ(got, position == total ? -1 : std::min(step, total - position));
                for (int i = 0; i < got; ++i) ASSERT_EQ(l[std::size_t(i)], std::int16_t(position + i) / 32768.0) << i;
            }
            if (got > 0) position += got;
        }
    }
}

TEST(CWaveFile, ReadingWithoutASuccessfulOpenFails) {
    CWaveFile wave;
    double x = 0;
    double* channels[1] = {&x};
    std::int32_t got = 0;
    EXPECT_NE(takeMessage(wave.readSamples(channels, 1, got)), "");
    // A COMM chunk that promises frames without any sound data.
    WaveBytes comm;
    comm.be16(1).be32(1000000).be16(16).raw(kRate44100);
    WaveBytes chunks;
    chunks.id("AIFF").chunkBE("COMM", comm);
    WaveBytes file;
    file.id("FORM").be32(std::uint32_t(chunks.size())).raw(chunks.bytes);
    MemoryWave w(file.bytes);
    EXPECT_EQ(w.openMessage(), "File lacks recognized PCM sound data.");
    EXPECT_NE(takeMessage(w.wave.readSamples(channels, 1, got)), "");
    EXPECT_NE(takeMessage(w.wave.skipSamples(1, got)), "");
}

// --- writing ---

using test::fileBytes;
using test::TempFolder;

struct WriteFormat {
    const char* name;
    bool isFloat;
    int physicalBits, realBits;
};

void PrintTo(const WriteFormat& f, std::ostream* os) { *os << f.name; }

const WriteFormat kWriteFormats[] = {{"Int8", false, 8, 8},     {"Int16", false, 16, 16},  {"Int24", false, 24, 24},
                                     {"Int20In24", false, 24, 20}, {"Int32", false, 32, 32}, {"Float32", true, 32, 32},
                                     {"Float64", true, 64, 64}};

void setFormat(CWaveFile& wave, bool isFloat, int physicalBits, int realBits, int channels, double rate = 48000.0) {
    wave.sampleRate = rate;
    wave.channelCount = channels;
    wave.isFloat = isFloat;
    wave.physicalBits = physicalBits;
    wave.realBits = realBits;
    wave.blockAlign = channels * physicalBits / 8;
    wave.channelMask = 0;
}

// Deterministic test audio: a different sine per channel plus noise, within -0.95 .. 0.95.
std::vector<std::vector<double>> testSignal(int channels, int frames, unsigned seed) {
    std::vector<std::vector<double>> signal(static_cast<std::size_t>(channels), std::vector<double>(static_cast<std::size_t>(frames)));
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (int ch = 0; ch < channels; ++ch) {
        for (int i = 0; i < frames; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const double noise = double(state >> 11) / double(1ull << 53) - 0.5;
            signal[std::size_t(ch)][std::size_t(i)] = 0.8 * std::sin(0.01 * (ch + 1) * i) + 0.3 * noise;
        }
    }
    return signal;
}

// Writes the signal in blocks of the given sizes (the last one repeats).
std::string writeSignal(CWaveFile& wave, const std::string& path, const std::vector<std::vector<double>>& signal,
                        const std::vector<int>& blocks = {1000, 17000}) {
    if (CError* err = wave.create(CString(path.c_str()))) return test::takeAllLines(err);
    const int frames = signal.empty() ? 0 : int(signal[0].size());
    std::size_t b = 0;
    for (int pos = 0; pos < frames;) {
        const int n = std::min(blocks[std::min(b++, blocks.size() - 1)], frames - pos);
        std::vector<const double*> channels;
        for (const auto& c : signal) channels.push_back(c.data() + pos);
        if (CError* err = wave.writeSamples(channels.data(), n)) return test::takeAllLines(err);
        pos += n;
    }
    return test::takeAllLines(wave.finishWriting());
}

class WaveRoundTrip : public ::testing::TestWithParam<std::tuple<WriteFormat, int>> {};

TEST_P(WaveRoundTrip, ReadsBackWhatWasWritten) {
    const auto& [format, channels] = GetParam();
    TempFolder folder;
    const std::string path = folder.file("out.wav");
    const auto signal = testSignal(channels, 40000, 11);
    {
        CWaveFile writer;
        setFormat(writer, format.isFloat, format.physicalBits, format.realBits, channels);
        ASSERT_EQ(writeSignal(writer, path, signal), "");
    }
    CWaveFile reader;
    ASSERT_EQ(test::takeAllLines(reader.open(CString(path.c_str()))), "");
    EXPECT_EQ(reader.sampleRate, 48000.0);
    EXPECT_EQ(reader.channelCount, channels);
    EXPECT_EQ(reader.isFloat, format.isFloat);
    EXPECT_EQ(reader.physicalBits, format.physicalBits);
    EXPECT_EQ(reader.realBits, format.realBits);
    EXPECT_EQ(reader.frameCount, 40000);
    const auto back = readAll(reader);
    ASSERT_EQ(back.size(), std::size_t(channels));
    const double lsb = std::ldexp(1.0, 1 - format.realBits);
    const double containerScale = std::ldexp(1.0, format.physicalBits - 1);
    const double validStep = std::ldexp(1.0, format.physicalBits - format.realBits);
    for (int ch = 0; ch < channels; ++ch) {
        ASSERT_EQ(back[std::size_t(ch)].size(), 40000u);
        for (std::size_t i = 0; i < 40000; ++i) {
            const double x = signal[std::size_t(ch)][i], y = back[std::size_t(ch)][i];
            if (format.isFloat) {
                ASSERT_EQ(y, format.physicalBits == 32 ? double(float(x)) : x) << ch << ":" << i;
            } else {
                // Rounding plus a triangular dither of less than one step on either side.
                ASSERT_LT(std::abs(y - x), 1.5 * lsb) << ch << ":" << i;
                // The valid bits sit at the top of the container.
                ASSERT_EQ(std::fmod(y * containerScale, validStep), 0.0) << ch << ":" << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WaveRoundTrip, ::testing::Combine(::testing::ValuesIn(kWriteFormats), ::testing::Values(1, 2, 3)),
                         [](const ::testing::TestParamInfo<std::tuple<WriteFormat, int>>& info) {
                             return std::string(std::get<0>(info.param).name) + "x" + std::to_string(std::get<1>(info.param));
                         });

// The stored integers of a mono 16-bit file written from the given values.
std::vector<int> written16(const std::vector<double>& values) {
    TempFolder folder;
    CWaveFile writer;
    setFormat(writer, false, 16, 16, 1);
    EXPECT_EQ(writeSignal(writer, folder.file("x.wav"), {values}), "");
    CWaveFile reader;
    const std::string error = test::takeAllLines(reader.open(CString(folder.file("x.wav").c_str())));
    EXPECT_EQ(error, "");
    std::vector<int> out;
    if (!error.empty()) return out;
    const auto channels = readAll(reader);
    for (const double v : channels[0]) out.push_back(int(v * 32768.0));
    return out;
}

TEST(CWaveFile, IntegerSamplesAreClippedAndNaNIsSilence) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    for (int round = 0; round < 50; ++round) {   // whatever the dither
        const std::vector<int> n = written16({1.0, 2.0, -2.0, inf, -inf, nan, 1e300, -1.0});
        ASSERT_EQ(n.size(), 8u);
        EXPECT_EQ(n[0], 32767);
        EXPECT_EQ(n[1], 32767);
        EXPECT_EQ(n[2], -32768);
        EXPECT_EQ(n[3], 32767);
        EXPECT_EQ(n[4], -32768);
        EXPECT_LE(std::abs(n[5]), 1);
        EXPECT_EQ(n[6], 32767);
        EXPECT_GE(n[7], -32768);
        EXPECT_LE(n[7], -32767);
    }
}

TEST(CWaveFile, SilenceIsDitheredInIntegerFilesAndExactInFloatFiles) {
    const std::vector<int> n = written16(std::vector<double>(10000, 0.0));
    int counts[3] = {};
    for (const int v : n) {
        ASSERT_LE(std::abs(v), 1);
        ++counts[v + 1];
    }
    EXPECT_GT(counts[0], 1000);   // a triangular dither: about 1/8 each of -1 and 1
    EXPECT_GT(counts[2], 1000);
    EXPECT_GT(counts[1], 6000);

    TempFolder folder;
    CWaveFile writer;
    setFormat(writer, true, 32, 32, 1);
    ASSERT_EQ(writeSignal(writer, folder.file("f.wav"), {std::vector<double>(100, 0.0)}), "");
    CWaveFile reader;
    ASSERT_EQ(test::takeAllLines(reader.open(CString(folder.file("f.wav").c_str()))), "");
    EXPECT_EQ(readAll(reader)[0], std::vector<double>(100, 0.0));
}

std::uint32_t le32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}
std::string idAt(const std::vector<std::uint8_t>& b, std::size_t at) { return std::string(b.begin() + long(at), b.begin() + long(at) + 4); }

TEST(CWaveFile, WrittenHeaderLayoutAndOddDataPad) {
    TempFolder folder;
    CWaveFile writer;
    setFormat(writer, false, 8, 8, 1, 44100.0);
    ASSERT_EQ(writeSignal(writer, folder.file("odd.wav"), {{0.0, 0.5, -0.5}}), "");
    const auto b = fileBytes(folder.file("odd.wav"));
    ASSERT_EQ(b.size(), 84u);   // 12 + 36 (junk) + 24 (fmt) + 8 + 3 + 1 pad
    EXPECT_EQ(idAt(b, 0), "RIFF");
    EXPECT_EQ(le32At(b, 4), 76u);
    EXPECT_EQ(idAt(b, 8), "WAVE");
    EXPECT_EQ(idAt(b, 12), "junk");
    EXPECT_EQ(le32At(b, 16), 28u);
    EXPECT_EQ(std::count(b.begin() + 20, b.begin() + 48, 0), 28);
    EXPECT_EQ(idAt(b, 48), "fmt ");
    EXPECT_EQ(le32At(b, 52), 16u);
    EXPECT_EQ(le32At(b, 60), 44100u);
    EXPECT_EQ(idAt(b, 72), "data");
    EXPECT_EQ(le32At(b, 76), 3u);
    EXPECT_EQ(b[83], 0);
}

TEST(CWaveFile, FilesBeyondTheRiffLimitBecomeRf64) {
    TempFolder folder;
    const auto signal = testSignal(2, 100, 5);
    std::uint64_t riffSize = 0;
    {
        CWaveFile writer;
        setFormat(writer, false, 16, 16, 2);
        ASSERT_EQ(writeSignal(writer, folder.file("plain.wav"), signal), "");
        riffSize = fileBytes(folder.file("plain.wav")).size() - 8;
    }
    for (const bool rf64 : {false, true}) {
        SCOPED_TRACE(rf64);
        const std::string path = folder.file(rf64 ? "big.wav" : "edge.wav");
        CWaveFile writer;
        setFormat(writer, false, 16, 16, 2);
        writer.setMaxRiffSizeForTesting(rf64 ? riffSize - 1 : riffSize);
        ASSERT_EQ(writeSignal(writer, path, signal), "");
        const auto b = fileBytes(path);
        ASSERT_EQ(b.size(), riffSize + 8);
        EXPECT_EQ(idAt(b, 0), rf64 ? "RF64" : "RIFF");
        EXPECT_EQ(idAt(b, 12), rf64 ? "ds64" : "junk");
        EXPECT_EQ(le32At(b, 4), rf64 ? 0xFFFFFFFFu : std::uint32_t(riffSize));
        EXPECT_EQ(le32At(b, 76), rf64 ? 0xFFFFFFFFu : 400u);
        if (rf64) {
            EXPECT_EQ(le32At(b, 16), 28u);
            EXPECT_EQ(le32At(b, 20) | std::uint64_t(le32At(b, 24)) << 32, riffSize);
            EXPECT_EQ(le32At(b, 28) | std::uint64_t(le32At(b, 32)) << 32, 400u);
            EXPECT_EQ(le32At(b, 36) | std::uint64_t(le32At(b, 40)) << 32, 100u);
            EXPECT_EQ(le32At(b, 44), 0u);
        }
        CWaveFile reader;
        ASSERT_EQ(test::takeAllLines(reader.open(CString(path.c_str()))), "");
        EXPECT_EQ(reader.usesDs64Sizes, rf64);
        EXPECT_EQ(reader.frameCount, 100);
        const auto back = readAll(reader);
        for (std::size_t i = 0; i < 100; ++i) ASSERT_LT(std::abs(back[1][i] - signal[1][i]), 1.5 / 32768) << i;
    }
}

TEST(CWaveFile, ExtensibleFormatIsWrittenForAChannelMask) {
    TempFolder folder;
    CWaveFile writer;
    setFormat(writer, false, 24, 20, 2);
    writer.channelMask = 3;
    ASSERT_EQ(writeSignal(writer, folder.file("ext.wav"), testSignal(2, 10, 1)), "");
    const auto b = fileBytes(folder.file("ext.wav"));
    EXPECT_EQ(le32At(b, 52), 40u);
    CWaveFile reader;
    ASSERT_EQ(test::takeAllLines(reader.open(CString(folder.file("ext.wav").c_str()))), "");
    EXPECT_EQ(reader.channelMask, 3u);
    EXPECT_EQ(reader.physicalBits, 24);
    EXPECT_EQ(reader.realBits, 20);
}

TEST(CWaveFile, MetadataSurvivesARoundTrip) {
    TempFolder folder;
    const std::string path = folder.file("meta.wav");
    CWaveFile writer;
    setFormat(writer, false, 16, 16, 2);
    writer.title = "Title";
    writer.author = "Author";
    writer.copyright = "(c) 2026";
    writer.software = "Delmaro";
    CString wide("x");
    wide.widen(1);
    wide.append(CString("\xE9"));
    wide.setLength(3, true);
    wide.chars32()[2] = U'\u4E2D';
    writer.comment = wide;                                  // above 255: left out
    writer.infoTexts.findOrAdd(CString("IGNR"))->value = "Noise";
    writer.infoTexts.findOrAdd(CString("ICRD"))->value = "";   // empty: left out
    const struct { std::uint64_t id; std::int64_t position, length; const char* label; } marks[] = {
        {1, -5, 0, "five!"}, {2, 50, 20, "four"}, {3, 1000000000, 0, ""}};
    for (const auto& m : marks) {
        CWaveFile::CMarker* marker = writer.addMarker();
        marker->id = m.id;
        marker->position = m.position;
        marker->chunkId = 0x61746164;   // "data"
        marker->length = m.length;
        marker->label = m.label;
    }
    writer.samplerInfo = new CWaveFile::CSamplerInfo();
    writer.samplerInfo->midiUnityNote = 60;
    writer.samplerInfo->loops.add(CWaveFile::CSampleLoop{1, 0, 10, 500, 0, 0});
    writer.samplerInfo->samplerData.assign("abc", 3);
    writer.broadcastInfo = new CWaveFile::CBroadcastInfo();
    writer.broadcastInfo->description = "A description";
    writer.broadcastInfo->timeReference = 0x100000002ull;
    writer.broadcastInfo->version = 2;
    writer.broadcastInfo->reserved[0] = 9;
    ASSERT_EQ(writeSignal(writer, path, testSignal(2, 100, 3)), "");

    CWaveFile reader;
    ASSERT_EQ(test::takeAllLines(reader.open(CString(path.c_str()))), "");
    EXPECT_EQ(asciiOf(reader.title), "Title");
    EXPECT_EQ(asciiOf(reader.author), "Author");
    EXPECT_EQ(asciiOf(reader.copyright), "(c) 2026");
    EXPECT_EQ(asciiOf(reader.software), "Delmaro");
    EXPECT_EQ(asciiOf(reader.comment), "");
    ASSERT_EQ(reader.infoTexts.count(), 1);
    EXPECT_EQ(asciiOf(reader.infoTexts.first()->value), "Noise");
    ASSERT_EQ(reader.markers.count(), 3);
    EXPECT_EQ(reader.markers[0]->position, 0);    // negative: the first frame
    EXPECT_EQ(reader.markers[1]->position, 50);
    EXPECT_EQ(reader.markers[1]->length, 20);
    EXPECT_EQ(reader.markers[2]->position, 99);   // beyond the data: the last frame
    EXPECT_EQ(asciiOf(reader.markers[0]->label), "five!");
    EXPECT_EQ(asciiOf(reader.markers[1]->label), "four");
    ASSERT_NE(reader.samplerInfo, nullptr);
    EXPECT_EQ(reader.samplerInfo->midiUnityNote, 60u);
    ASSERT_EQ(reader.samplerInfo->loops.count(), 1);
    EXPECT_EQ(reader.samplerInfo->loops[0].start, 10u);
    EXPECT_EQ(reader.samplerInfo->loops[0].end, 99u);
    ASSERT_EQ(reader.samplerInfo->samplerData.size(), 3);
    EXPECT_EQ(reader.samplerInfo->samplerData.data()[2], 'c');
    ASSERT_NE(reader.broadcastInfo, nullptr);
    EXPECT_EQ(asciiOf(reader.broadcastInfo->description), "A description");
    EXPECT_EQ(reader.broadcastInfo->timeReference, 0x100000002ull);
    EXPECT_EQ(reader.broadcastInfo->version, 1u);       // always written as 1
    EXPECT_EQ(reader.broadcastInfo->reserved[0], 0);    // the reserved area is written as zeros
    EXPECT_EQ(asciiOf(reader.broadcastInfo->codingHistory), "A=PCM,F=48000,W=16,M=stereo,T=Delmaro\r\n");

    // "labl" sizes: five characters give 10 and no pad byte, four give 9 and a pad byte.
    const auto b = fileBytes(path);
    std::vector<std::uint32_t> lablSizes;
    for (std::size_t at = 0; at + 8 <= b.size(); ++at)
        if (idAt(b, at) == "labl") lablSizes.push_back(le32At(b, at + 4));
    EXPECT_EQ(lablSizes, (std::vector<std::uint32_t>{10, 9, 5}));
}

TEST(CWaveFile, MarkersOfAFileWithoutFramesPointAtFrameZero) {
    TempFolder folder;
    CWaveFile writer;
    setFormat(writer, false, 16, 16, 1);
    writer.addMarker()->position = 5;
    ASSERT_EQ(writeSignal(writer, folder.file("empty.wav"), {{}}), "");
    const auto b = fileBytes(folder.file("empty.wav"));
    std::size_t cue = 0;
    for (std::size_t at = 0; at + 4 <= b.size() && !cue; ++at)
        if (idAt(b, at) == "cue ") cue = at;
    ASSERT_NE(cue, 0u);
    EXPECT_EQ(le32At(b, cue + 8), 1u);        // one point
    EXPECT_EQ(le32At(b, cue + 16), 0u);       // its position: frame 0, not 0xFFFFFFFF
}

TEST(CWaveFile, EveryCreateAddsACodingHistoryLine) {
    TempFolder folder;
    CWaveFile writer;
    setFormat(writer, false, 24, 24, 2);
    writer.broadcastInfo = new CWaveFile::CBroadcastInfo();
    ASSERT_EQ(writeSignal(writer, folder.file("a.wav"), testSignal(2, 4, 1)), "");
    ASSERT_EQ(writeSignal(writer, folder.file("b.wav"), testSignal(2, 4, 1)), "");
    EXPECT_EQ(asciiOf(writer.broadcastInfo->codingHistory), "A=PCM,F=48000,W=24,M=stereo\r\nA=PCM,F=48000,W=24,M=stereo\r\n");
}

TEST(CWaveFile, CreateRejectsFormatsItCannotLayOut) {
    TempFolder folder;
    struct Row { int channels, physicalBits, realBits, blockAlign; bool isFloat; };
    for (const Row& r : {Row{2, 16, 16, 3, false}, Row{0, 16, 16, 0, false}, Row{1, 16, 0, 2, false}, Row{1, 12, 12, 1, false},
                         Row{1, 16, 16, 2, true}}) {
        SCOPED_TRACE(r.blockAlign);
        CWaveFile writer;
        setFormat(writer, r.isFloat, r.physicalBits, r.realBits, r.channels);
        writer.blockAlign = r.blockAlign;
        EXPECT_NE(takeMessage(writer.create(CString(folder.file("bad.wav").c_str()))), "");
        const double x = 0;
        const double* channels[2] = {&x, &x};
        EXPECT_NE(takeMessage(writer.writeSamples(channels, 1)), "");
    }
}

TEST(CWaveFile, CopyMetadataScalesPositionsToThisSampleRate) {
    CWaveFile source, target;
    source.sampleRate = 2.0;
    target.sampleRate = 1.0;
    for (const std::int64_t position : {3, -3, 4}) source.addMarker()->position = position;
    source.markers[0]->length = 5;
    source.samplerInfo = new CWaveFile::CSamplerInfo();
    source.samplerInfo->loops.add(CWaveFile::CSampleLoop{0, 0, 7, 9, 0, 0});
    source.broadcastInfo = new CWaveFile::CBroadcastInfo();
    source.broadcastInfo->timeReference = 1;
    target.copyMetadata(source);
    ASSERT_EQ(target.markers.count(), 3);
    EXPECT_EQ(target.markers[0]->position, 2);    // 1.5: halves away from zero
    EXPECT_EQ(target.markers[1]->position, -2);
    EXPECT_EQ(target.markers[2]->position, 2);
    EXPECT_EQ(target.markers[0]->length, 3);
    EXPECT_EQ(target.samplerInfo->loops[0].start, 4u);
    EXPECT_EQ(target.samplerInfo->loops[0].end, 5u);
    EXPECT_EQ(target.broadcastInfo->timeReference, 1u);
    EXPECT_EQ(source.markers[0]->position, 3);    // the source keeps its own

    // Without a usable rate on either side the positions are copied as they are.
    for (const double rate : {0.0, -1.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        CWaveFile other;
        other.sampleRate = rate;
        other.copyMetadata(source);
        EXPECT_EQ(other.markers[0]->position, 3);
    }
}

// --- files written by sox ---

bool haveSox() { return std::system("sox --version > /dev/null 2>&1") == 0; }

struct SoxCase {
    const char* name;
    const char* rawEncoding;   // sox's -e and -b for the raw input
    int bits;
    int channels;
    const char* output;        // sox's options and file name for the output
    bool isFloat;
    bool isUnsigned;
};

void PrintTo(const SoxCase& c, std::ostream* os) { *os << c.name; }

class WaveFromSox : public ::testing::TestWithParam<SoxCase> {};

TEST_P(WaveFromSox, ReadsSampleExact) {
    const SoxCase& c = GetParam();
    ASSERT_TRUE(haveSox()) << "sox is installed by scripts/setup";
    TempFolder folder;
    const int frames = 5000, bytesPerSample = c.bits / 8;
    std::vector<std::uint8_t> raw(std::size_t(frames * c.channels * bytesPerSample));
    std::vector<double> expected(std::size_t(frames * c.channels));
    std::uint64_t state = 12345;
    for (std::size_t s = 0; s < expected.size(); ++s) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        std::uint8_t* p = &raw[s * std::size_t(bytesPerSample)];
        if (c.isFloat) {
            // Multiples of 2^-23 in -1 .. 1: sox passes samples through 32-bit integers, which
            // keep these exactly.
            const double value = double(std::int32_t(state >> 40) - (1 << 23)) / double(1 << 23);
            const float f = float(value);
            if (c.bits == 32)
                std::memcpy(p, &f, 4);
            else
                std::memcpy(p, &value, 8);
            expected[s] = value;
        } else {
            const std::uint64_t bits = state >> (64 - c.bits);
            for (int k = 0; k < bytesPerSample; ++k) p[k] = std::uint8_t(bits >> (8 * k));
            const std::int64_t full = std::int64_t(1) << (c.bits - 1);
            const std::int64_t value = c.isUnsigned ? std::int64_t(bits) - full
                                                    : (std::int64_t(bits) >= full ? std::int64_t(bits) - 2 * full : std::int64_t(bits));
            expected[s] = double(value) / double(full);
        }
    }
    test::writeFileBytes(folder.file("in.raw"), raw);
    const std::string command = "sox -D -t raw -r 44100 -e " + std::string(c.rawEncoding) + " -b " + std::to_string(c.bits) + " -c " +
                                std::to_string(c.channels) + " -L " + folder.file("in.raw") + " " + c.output + " 2>&1";
    const std::string cwd = "cd " + folder.file("") + " && ";
    ASSERT_EQ(std::system((cwd + command).c_str()), 0) << command;
    const std::string outName = std::string(c.output).substr(std::string(c.output).rfind(' ') + 1);

    CWaveFile reader;
    ASSERT_EQ(test::takeAllLines(reader.open(CString(folder.file(outName).c_str()))), "");
    EXPECT_EQ(reader.sampleRate, 44100.0);
    EXPECT_EQ(reader.channelCount, c.channels);
    EXPECT_EQ(reader.isFloat, c.isFloat);
    EXPECT_EQ(reader.frameCount, frames);
    const auto back = readAll(reader, 777);
    for (int ch = 0; ch < c.channels; ++ch) {
        ASSERT_EQ(back[std::size_t(ch)].size(), std::size_t(frames));
        for (int i = 0; i < frames; ++i)
            ASSERT_EQ(back[std::size_t(ch)][std::size_t(i)], expected[std::size_t(i * c.channels + ch)]) << ch << ":" << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Containers, WaveFromSox,
    ::testing::Values(SoxCase{"WavU8", "unsigned", 8, 1, "-t wav x.wav", false, true},
                      SoxCase{"WavS16", "signed", 16, 2, "-t wav x.wav", false, false},
                      SoxCase{"WavS24", "signed", 24, 2, "-t wav x.wav", false, false},
                      SoxCase{"WavS32", "signed", 32, 1, "-t wav x.wav", false, false},
                      SoxCase{"WavS16Surround", "signed", 16, 6, "-t wav x.wav", false, false},
                      SoxCase{"WavF32", "floating-point", 32, 2, "-t wav x.wav", true, false},
                      SoxCase{"WavF64", "floating-point", 64, 1, "-t wav x.wav", true, false},
                      SoxCase{"W64S16", "signed", 16, 2, "-t w64 x.w64", false, false},
                      SoxCase{"W64S24", "signed", 24, 1, "-t w64 x.w64", false, false},
                      SoxCase{"W64F32", "floating-point", 32, 2, "-t w64 x.w64", true, false},
                      SoxCase{"AiffS8", "signed", 8, 1, "-t aiff x.aiff", false, false},
                      SoxCase{"AiffS16", "signed", 16, 2, "-t aiff x.aiff", false, false},
                      SoxCase{"AiffS24", "signed", 24, 2, "-t aiff x.aiff", false, false},
                      SoxCase{"AiffS32", "signed", 32, 1, "-t aiff x.aiff", false, false},
                      SoxCase{"AifcS16", "signed", 16, 2, "-t aifc x.aifc", false, false},
                      SoxCase{"AifcF32", "floating-point", 32, 2, "-t aifc x.aifc", true, false},
                      SoxCase{"AifcF64", "floating-point", 64, 1, "-t aifc x.aifc", true, false}),
    [](const ::testing::TestParamInfo<SoxCase>& info) { return std::string(info.param.name); });

TEST(CWaveFile, SoxReadsWhatTheWriterWrites) {
    ASSERT_TRUE(haveSox()) << "sox is installed by scripts/setup";
    TempFolder folder;
    for (const WriteFormat& f : kWriteFormats) {
        SCOPED_TRACE(f.name);
        const auto signal = testSignal(2, 3000, 9);
        CWaveFile writer;
        if (f.realBits != f.physicalBits) continue;   // sox reads no valid-bit counts below the container
        setFormat(writer, f.isFloat, f.physicalBits, f.realBits, 2);
        ASSERT_EQ(writeSignal(writer, folder.file("ours.wav"), signal), "");
        CWaveFile reader;
        ASSERT_EQ(test::takeAllLines(reader.open(CString(folder.file("ours.wav").c_str()))), "");
        const auto back = readAll(reader);
        // sox turns the file into raw samples of the same layout; they must be what we read.
        const std::string encoding = f.isFloat ? "floating-point" : f.physicalBits == 8 ? "unsigned" : "signed";
        const std::string command = "sox " + folder.file("ours.wav") + " -t raw -e " + encoding + " -b " + std::to_string(f.physicalBits) +
                                    " -L " + folder.file("out.raw") + " 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const auto raw = fileBytes(folder.file("out.raw"));
        const std::size_t bytes = std::size_t(f.physicalBits / 8);
        ASSERT_EQ(raw.size(), 3000 * 2 * bytes);
        for (std::size_t s = 0; s < 6000; ++s) {
            const std::uint8_t* p = &raw[s * bytes];
            double value;
            if (f.isFloat && bytes == 4) {
                float x;
                std::memcpy(&x, p, 4);
                value = x;
            } else if (f.isFloat) {
                std::memcpy(&value, p, 8);
            } else {
                std::uint64_t u = 0;
                for (std::size_t k = 0; k < bytes; ++k) u |= std::uint64_t(p[k]) << (8 * k);
                const std::int64_t full = std::int64_t(1) << (f.physicalBits - 1);
                const std::int64_t v = bytes == 1 ? std::int64_t(u) - full : (std::int64_t(u) >= full ? std::int64_t(u) - 2 * full : std::int64_t(u));
                value = double(v) / double(full);
            }
            // sox carries samples as 32-bit integers through single-precision arithmetic.
            if (f.isFloat)
                ASSERT_NEAR(value, back[s % 2][s / 2], std::ldexp(1.0, -23)) << s;
            else
                ASSERT_EQ(value, back[s % 2][s / 2]) << s;
        }
    }
}

// Markers made with addMarker alone (no chunk id set by the caller) come back with their
// positions, region lengths and labels.
TEST(CWaveFile, MarkersFromAddMarkerRoundTrip) {
    TempFolder folder;
    const std::string path = folder.file("markers.wav");
    CWaveFile writer;
    setFormat(writer, false, 24, 24, 2);
    const struct { std::int64_t position, length; const char* label; } marks[] = {
        {0, 0, "start"}, {1234, 0, "hit"}, {2000, 500, "verse"}, {2999, 0, ""}};
    std::uint64_t id = 7;
    for (const auto& m : marks) {
        CWaveFile::CMarker* marker = writer.addMarker();
        marker->id = id++;
        marker->position = m.position;
        marker->length = m.length;
        marker->label = m.label;
    }
    ASSERT_EQ(writeSignal(writer, path, testSignal(2, 3000, 4)), "");
    CWaveFile reader;
    ASSERT_EQ(test::takeAllLines(reader.open(CString(path.c_str()))), "");
    ASSERT_EQ(reader.markers.count(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(reader.markers[i]->id, std::uint64_t(7 + i));
        EXPECT_EQ(reader.markers[i]->position, marks[i].position);
        EXPECT_EQ(reader.markers[i]->length, marks[i].length);
        EXPECT_EQ(asciiOf(reader.markers[i]->label), marks[i].label);
        EXPECT_EQ(reader.markers[i]->chunkId, writer.markers[i]->chunkId);
    }
    // Read back and written again, they survive a second round.
    CWaveFile copy;
    copy.copyFormat(reader);
    copy.copyMetadata(reader);
    ASSERT_EQ(writeSignal(copy, folder.file("again.wav"), testSignal(2, 3000, 4)), "");
    CWaveFile again;
    ASSERT_EQ(test::takeAllLines(again.open(CString(folder.file("again.wav").c_str()))), "");
    ASSERT_EQ(again.markers.count(), 4);
    EXPECT_EQ(again.markers[2]->position, 2000);
    EXPECT_EQ(again.markers[2]->length, 500);
    EXPECT_EQ(asciiOf(again.markers[1]->label), "hit");
}

// Float files carry the format chunk's extension-size field (0); integer PCM keeps the 16-byte
// chunk without it. Both read back.
TEST(CWaveFile, FloatFormatChunkHasTheExtensionSizeField) {
    TempFolder folder;
    for (const WriteFormat& f : kWriteFormats) {
        SCOPED_TRACE(f.name);
        const std::string path = folder.file(std::string(f.name) + ".wav");
        CWaveFile writer;
        setFormat(writer, f.isFloat, f.physicalBits, f.realBits, 1);
        const auto signal = testSignal(1, 5, 2);
        ASSERT_EQ(writeSignal(writer, path, signal), "");
        const auto b = fileBytes(path);
        ASSERT_EQ(idAt(b, 48), "fmt ");
        EXPECT_EQ(le32At(b, 52), f.isFloat ? 18u : 16u);
        EXPECT_EQ(b[56] | b[57] << 8, f.isFloat ? 3 : 1);
        const std::size_t data = 56 + le32At(b, 52);
        if (f.isFloat) {
            EXPECT_EQ(b[72] | b[73] << 8, 0);   // cbSize
        }
        EXPECT_EQ(idAt(b, data), "data");
        EXPECT_EQ(le32At(b, data + 4), std::uint32_t(5 * f.physicalBits / 8));
        CWaveFile reader;
        ASSERT_EQ(test::takeAllLines(reader.open(CString(path.c_str()))), "");
        EXPECT_EQ(reader.isFloat, f.isFloat);
        EXPECT_EQ(reader.frameCount, 5);
        if (f.isFloat) {
            EXPECT_NEAR(readAll(reader)[0][3], signal[0][3], 1e-7);
        }
    }
}

// What a reader makes of a byte image: the open's message, or the frame count and what reading
// every frame gives (frames, samples, whether it ended in an error).
std::string outcome(CWaveFile& wave, CError* openError) {
    if (openError != nullptr) return "open: " + test::takeMessage(openError);
    std::string text = "frames " + std::to_string(wave.frameCount) + " title '" + asciiOf(wave.title) + "'";
    std::vector<std::vector<double>> block(std::size_t(wave.channelCount), std::vector<double>(64));
    std::vector<double*> pointers;
    for (auto& c : block) pointers.push_back(c.data());
    for (;;) {
        std::int32_t got = 0;
        if (CError* err = wave.readSamples(pointers.data(), 64, got)) {
            delete err;
            return text + " read error";
        }
        if (got <= 0) return text + " end";
        for (std::int32_t i = 0; i < got; ++i)
            for (const auto& c : block) text += " " + std::to_string(c[std::size_t(i)]);
    }
}

// The same bytes give the same result from a file and from memory: a last odd-sized chunk without
// its pad byte, a header that claims far more data than the file holds; a truncated trailing chunk
// fails in both.
TEST(CWaveFile, PathAndMemoryReadTheSameBytesAlike) {
    const WaveBytes oddData = WaveBytes().raw({0x10, 0x80, 0xF0});
    WaveBytes unpadded;   // mono 8-bit, three frames, no pad byte, RIFF size without it
    unpadded.chunk("fmt ", fmtBody(1, 1, 8000, 1, 8)).chunk("data", oddData, false);
    WaveBytes padCounted = riffFile(unpadded);   // the RIFF size counts the missing pad byte
    padCounted.bytes[4] += 1;
    WaveBytes oddInfo;   // texts, then a last unknown chunk of odd size without its pad byte
    oddInfo.chunk("fmt ", fmtBody(1, 1, 8000, 1, 8))
        .chunk("data", oddData)
        .chunk("LIST", WaveBytes().id("INFO").chunk("INAM", WaveBytes().text("abc")))
        .chunk("junk", WaveBytes().text("xyzzy"), false);
    WaveBytes lying;   // the data chunk claims two hours of 44.1 kHz stereo 16-bit; 100 frames are there
    lying.chunk("fmt ", fmtBody(1, 2, 44100, 4, 16)).id("data").le32(2ull * 3600 * 44100 * 4).raw(frames16(100).bytes);
    WaveBytes lyingFile = riffFile(lying);
    const std::uint32_t claimed = std::uint32_t(4 + 8 + 16 + 8 + 2ull * 3600 * 44100 * 4);
    for (int i = 0; i < 4; ++i) lyingFile.bytes[4 + std::size_t(i)] = std::uint8_t(claimed >> (8 * i));
    WaveBytes truncated;   // a chunk header cut short after the data
    truncated.chunk("fmt ", fmtBody(1, 1, 8000, 1, 8)).chunk("data", oddData).id("cue ").le32(28).le32(1);
    WaveBytes truncatedFile = riffFile(truncated);
    truncatedFile.bytes[4] += 60;

    const struct { const char* name; std::vector<std::uint8_t> bytes; bool opens; } cases[] = {
        {"unpadded", riffFile(unpadded).bytes, true},
        {"pad counted", padCounted.bytes, true},
        {"odd info", riffFile(oddInfo).bytes, true},
        {"lying", lyingFile.bytes, true},
        {"truncated", truncatedFile.bytes, false},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.file("case.wav");
        test::writeFileBytes(path, c.bytes);
        CWaveFile fromPath;
        const std::string viaPath = outcome(fromPath, fromPath.open(CString(path.c_str())));
        MemoryWave fromMemory(c.bytes);
        const std::string viaMemory = outcome(fromMemory.wave, fromMemory.wave.openFile(&fromMemory.reader()));
        EXPECT_EQ(viaPath.rfind("open: ", 0) != 0, c.opens) << viaPath;
        EXPECT_EQ(viaMemory.rfind("open: ", 0) != 0, c.opens) << viaMemory;
        // A short read fails in both with the stream's own words; everything else is identical.
        if (c.opens) {
            EXPECT_EQ(viaPath, viaMemory);
        }
    }
}

} // namespace
} // namespace tal
