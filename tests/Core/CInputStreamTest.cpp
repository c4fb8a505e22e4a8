#include "Core/CInputStream.h"

#include "Core/CMemoryReader.h"
#include "Core/CPosStream.h"
#include "support/SampleData.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

using test::Bytes;
using test::takeMessage;

CString wideString(std::initializer_list<char32_t> chars) {
    CString s;
    s.widen(0);
    s.setLength(int(chars.size()), false);
    int i = 0;
    for (char32_t c : chars)
        s.chars32()[i++] = c;
    return s;
}

Bytes stringBytes(const CString& s) {
    return test::written([&](COutputStream& out) { ASSERT_EQ(out.writeString(s), nullptr); });
}

TEST(CStreamForm, StringsAreWrittenAsUtf8WithTheirByteCount) {
    struct Case {
        const char* name;
        CString text;
        Bytes expect;
    };
    const Case cases[] = {
        {"empty", CString(), {0, 0, 0, 0}},
        {"ascii", CString("ab"), {2, 0, 0, 0, 'a', 'b'}},
        {"latin1 8-bit", CString("\xE9"), {2, 0, 0, 0, 0xC3, 0xA9}},
        {"latin1 32-bit", wideString({U'\u00E9'}), {2, 0, 0, 0, 0xC3, 0xA9}},
        {"euro", wideString({U'\u20AC'}), {3, 0, 0, 0, 0xE2, 0x82, 0xAC}},
        {"emoji", wideString({U'\U0001F600'}), {4, 0, 0, 0, 0xF0, 0x9F, 0x98, 0x80}},
        {"surrogate dropped", wideString({U'a', char32_t(0xD800), U'b'}), {2, 0, 0, 0, 'a', 'b'}},
        {"beyond unicode dropped", wideString({char32_t(0x110000), U'z'}), {1, 0, 0, 0, 'z'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(stringBytes(c.text), c.expect);
    }
}

TEST(CStreamForm, LongStringsCrossTheStagingBuffer) {
    // 8-bit text of 700 characters 0xE9: 1400 UTF-8 bytes, and a 32-bit text of 300 euro signs.
    CString latin;
    latin.setLength(700, false);
    for (int i = 0; i < 700; ++i)
        latin.chars8()[i] = char(0xE9);
    const Bytes b = stringBytes(latin);
    ASSERT_EQ(b.size(), 4u + 1400u);
    EXPECT_EQ(b[0] | b[1] << 8, 1400);
    for (std::size_t i = 4; i < b.size(); i += 2)
        ASSERT_TRUE(b[i] == 0xC3 && b[i + 1] == 0xA9) << i;

    CString euro = wideString({U'\u20AC'});
    for (int i = 0; i < 299; ++i)
        euro.append(wideString({U'\u20AC'}));
    const Bytes e = stringBytes(euro);
    ASSERT_EQ(e.size(), 4u + 900u);
    CMemoryReader back(e.data(), std::int32_t(e.size()));
    CString read;
    ASSERT_EQ(back.readString(read), nullptr);
    EXPECT_EQ(read, euro);
}

TEST(CStreamForm, StringsReadBackInTheNarrowestMode) {
    struct Case {
        const char* name;
        Bytes bytes;
        bool wide;
        std::vector<std::uint32_t> chars;
    };
    const Case cases[] = {
        {"latin1", {2, 0, 0, 0, 0xC3, 0xA9}, false, {0xE9}},
        {"euro", {3, 0, 0, 0, 0xE2, 0x82, 0xAC}, true, {0x20AC}},
        {"ascii then euro", {4, 0, 0, 0, 'x', 0xE2, 0x82, 0xAC}, true, {'x', 0x20AC}},
        {"nul ends the text", {3, 0, 0, 0, 'a', 0, 'b'}, false, {'a'}},
        {"stray continuation skipped", {3, 0, 0, 0, 'a', 0x80, 'b'}, false, {'a', 'b'}},
        {"cut sequence ends the text", {3, 0, 0, 0, 'a', 0xE2, 0x82}, false, {'a'}},
        {"count 0", {0, 0, 0, 0}, false, {}},
        {"negative count", {0, 0, 0, 0x80, 'a'}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryReader r(c.bytes.data(), std::int32_t(c.bytes.size()));
        CString s("previous");
        ASSERT_EQ(r.readString(s), nullptr);
        EXPECT_EQ(s.isWide(), c.wide);
        ASSERT_EQ(s.length(), int(c.chars.size()));
        for (int i = 0; i < s.length(); ++i)
            EXPECT_EQ(s.charAt(i), c.chars[std::size_t(i)]);
    }
    // The top-bit count consumes only its 4 bytes.
    const Bytes negative = {0, 0, 0, 0x80, 'a'};
    CMemoryReader r(negative.data(), 5);
    CString s;
    ASSERT_EQ(r.readString(s), nullptr);
    EXPECT_EQ(r.position(), 4);
}

// Stored names are keys: a damaged name must write back as it was read, or a record that is loaded
// and saved changes each time.
TEST(CStreamForm, DamagedStringsWriteBackAsTheyWereRead) {
    const Bytes damaged[] = {
        {6, 0, 0, 0, 'D', 0xF4, ':', 'S', 'e', 'e'},        // decodes past U+10FFFF
        {5, 0, 0, 0, 'a', 0xED, 0xA0, 0x80, 'b'},           // a surrogate
        {4, 0, 0, 0, 0xC3, 0x29, 0xC1, 0x81},               // bad continuation bits, overlong
        {5, 0, 0, 0, 0xF0, 0x9F, 0x98, 0x80, 0xFF},         // a valid character and a bad byte
    };
    for (const Bytes& bytes : damaged) {
        CMemoryReader r(bytes.data(), std::int32_t(bytes.size()));
        CString first;
        ASSERT_EQ(r.readString(first), nullptr);
        const Bytes written = stringBytes(first);
        CMemoryReader again(written.data(), std::int32_t(written.size()));
        CString second;
        ASSERT_EQ(again.readString(second), nullptr);
        EXPECT_TRUE(second == first);
        EXPECT_EQ(stringBytes(second), written);
    }
}

TEST(CStreamForm, StringCountAboveTheLimitFailsAfterTheCount) {
    for (const std::int32_t count : {61440, 61441}) {
        SCOPED_TRACE(count);
        Bytes b(4 + std::size_t(count), 'q');
        b[0] = std::uint8_t(count);
        b[1] = std::uint8_t(count >> 8);
        b[2] = b[3] = 0;
        CMemoryReader r(b.data(), std::int32_t(b.size()));
        CString s;
        const std::string message = takeMessage(r.readString(s));
        if (count == 61440) {
            EXPECT_EQ(message, "");
            EXPECT_EQ(s.length(), 61440);
        } else {
            EXPECT_EQ(message, "String length 61441 too long in readString().");
            EXPECT_EQ(r.position(), 4);
        }
    }
}

TEST(CStreamForm, IntegersAndDoublesAreLittleEndianImages) {
    const Bytes b = test::written([](COutputStream& out) {
        ASSERT_EQ(out.write16(0x0102), nullptr);
        ASSERT_EQ(out.write32(0x01020304), nullptr);
        ASSERT_EQ(out.write64(0x0102030405060708ull), nullptr);
        ASSERT_EQ(out.writeDouble(1.0), nullptr);
    });
    EXPECT_EQ(b, (Bytes{2, 1, 4, 3, 2, 1, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    CMemoryReader r(b.data(), std::int32_t(b.size()));
    std::uint16_t v16 = 0;
    std::uint32_t v32 = 0;
    std::uint64_t v64 = 0;
    double d = 0;
    ASSERT_EQ(r.read16(v16), nullptr);
    ASSERT_EQ(r.read32(v32), nullptr);
    ASSERT_EQ(r.read64(v64), nullptr);
    ASSERT_EQ(r.readDouble(d), nullptr);
    EXPECT_EQ(v16, 0x0102);
    EXPECT_EQ(v32, 0x01020304u);
    EXPECT_EQ(v64, 0x0102030405060708ull);
    EXPECT_EQ(d, 1.0);
}

TEST(CStreamForm, BigEndianAndExtendedValues) {
    // 44100 as an 80-bit extended value (AIFF): exponent 0x400E, mantissa 0xAC44 << 48.
    const Bytes b = {0x12, 0x34, 0x12, 0x34, 0x56, 0x78, 0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0,
                     0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
    CMemoryReader r(b.data(), std::int32_t(b.size()));
    std::uint16_t v16 = 0;
    std::uint32_t v32 = 0;
    double rate = 0, negative = 0, infinite = 0;
    ASSERT_EQ(r.read16BE(v16), nullptr);
    ASSERT_EQ(r.read32BE(v32), nullptr);
    ASSERT_EQ(r.readExtendedBE(rate), nullptr);
    ASSERT_EQ(r.readExtendedBE(negative), nullptr);
    ASSERT_EQ(r.readExtendedBE(infinite), nullptr);
    EXPECT_EQ(v16, 0x1234);
    EXPECT_EQ(v32, 0x12345678u);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(negative, -44100.0);
    EXPECT_TRUE(std::isinf(infinite));
}

TEST(CStreamForm, ByteBlocksRoundTripAndBadLengthsAreRefused) {
    const Bytes empty = test::written([](COutputStream& out) { ASSERT_EQ(out.writeByteBuffer(CByteBuffer()), nullptr); });
    EXPECT_EQ(empty, (Bytes{0, 0, 0, 0}));
    CMemoryReader r(empty.data(), 4);
    CByteBuffer back(100);
    ASSERT_EQ(r.readByteBuffer(back), nullptr);
    EXPECT_EQ(back.size(), 0);
    EXPECT_TRUE(back.isInline());

    const Bytes payload = test::noiseBytes(300, 1);
    const Bytes block = test::written(
        [&](COutputStream& out) { ASSERT_EQ(out.writeByteBuffer(test::bufferOf(payload)), nullptr); });
    CMemoryReader r2(block.data(), std::int32_t(block.size()));
    ASSERT_EQ(r2.readByteBuffer(back), nullptr);
    EXPECT_EQ(test::bytesOf(back), payload);

    // A length beyond the bytes left, or negative, is refused before anything is allocated.
    for (const Bytes& bad : {Bytes{0xFF, 0xFF, 0xFF, 0x7F, 1, 2}, Bytes{5, 0, 0, 0, 1, 2}, Bytes{0xFE, 0xFF, 0xFF, 0xFF}}) {
        CMemoryReader rb(bad.data(), std::int32_t(bad.size()));
        CByteBuffer kept(test::bufferOf({9, 9, 9}));
        EXPECT_NE(takeMessage(rb.readByteBuffer(kept)), "");
        EXPECT_EQ(test::bytesOf(kept), (Bytes{9, 9, 9}));
    }
}

// A positioning part whose position and size are set directly.
class FakePosStream : public CPosStream {
public:
    CError* getPosition(std::uint64_t& p) override {
        p = mPosition;
        return nullptr;
    }
    CError* setPosition(std::uint64_t p) override {
        mPosition = p;
        return nullptr;
    }
    CError* getSize(std::uint64_t& s) override {
        s = mPosition;
        return nullptr;
    }
    std::uint64_t mPosition = 0;
};

TEST(CPosStream, ThirtyTwoBitValuesStopBelowTwoGigabytes) {
    FakePosStream s;
    std::int32_t value = -1;
    s.mPosition = 2147483647;
    ASSERT_EQ(s.getPositionInt(value), nullptr);
    EXPECT_EQ(value, 2147483647);
    s.mPosition = 2147483648u;
    value = 7;
    EXPECT_EQ(takeMessage(s.getPositionInt(value)), "The size of the stream is above allowed 2 GB.");
    EXPECT_EQ(takeMessage(s.getSizeInt(value)), "The size of the stream is above allowed 2 GB.");
    EXPECT_EQ(value, 7);
}

} // namespace
} // namespace tal
