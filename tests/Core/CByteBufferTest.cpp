#include "Core/CByteBuffer.h"

#include "Core/CString.h"

#include "support/SampleData.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// A 32-bit string of the given code points (a zero among them stays a character).
CString wideText(const std::vector<char32_t>& points) {
    CString s(std::string(points.size(), 'x').c_str());
    s.widen(s.length());
    int i = 0;
    for (char32_t c : points) s.chars32()[i++] = c;
    return s;
}

std::vector<std::uint8_t> bytesOf(const CByteBuffer& b) { return {b.data(), b.data() + b.size()}; }

TEST(CByteBuffer, InitUTF8EncodesEachRangeAndDropsInvalidPoints) {
    CByteBuffer b;
    b.initUTF8(CString());
    EXPECT_EQ(bytesOf(b), (std::vector<std::uint8_t>{0}));
    b.initUTF8(CString("A\xE9"));
    EXPECT_EQ(bytesOf(b), (std::vector<std::uint8_t>{'A', 0xC3, 0xA9, 0}));
    b.initUTF8(wideText({U'A', 0x7FF, 0x20AC, 0xFFFF, 0x1F600, 0x10FFFF}));
    EXPECT_EQ(bytesOf(b), (std::vector<std::uint8_t>{'A', 0xDF, 0xBF, 0xE2, 0x82, 0xAC, 0xEF, 0xBF, 0xBF, 0xF0, 0x9F,
                                                     0x98, 0x80, 0xF4, 0x8F, 0xBF, 0xBF, 0}));
    b.initUTF8(wideText({0xD800, U'b', 0xDFFF, 0x110000, U'c'}));
    EXPECT_EQ(bytesOf(b), (std::vector<std::uint8_t>{'b', 'c', 0}));
    b.initUTF8(wideText({U'd', 0, U'e'}));
    EXPECT_EQ(bytesOf(b), (std::vector<std::uint8_t>{'d', 0}));
}

// A long text leaves the inline block and reads back unchanged.
TEST(CByteBuffer, InitUTF8RoundTripsALongText) {
    std::vector<char32_t> points;
    for (char32_t c = 0x20; c < 0x20 + 300; ++c) points.push_back(c * 97 % 0x2FFF + 0x20);
    const CString text = wideText(points);
    CByteBuffer b;
    b.initUTF8(text);
    EXPECT_FALSE(b.isInline());
    CString back;
    back.setUTF8(reinterpret_cast<const char*>(b.data()), b.size() - 1);
    ASSERT_EQ(back.length(), text.length());
    for (int i = 0; i < text.length(); ++i) ASSERT_EQ(back.charAt(i), text.charAt(i)) << i;
}

TEST(CByteBuffer, SmallBlocksStayInline) {
    for (const std::int32_t n : {0, 1, 64, 65, 4096, 5000}) {
        SCOPED_TRACE(n);
        CByteBuffer b(n);
        EXPECT_EQ(b.size(), n);
        EXPECT_EQ(b.isInline(), n <= 64);
    }
    CByteBuffer negative(-3);
    EXPECT_EQ(negative.size(), 0);
}

TEST(CByteBuffer, ResizeKeepsTheLeadingBytesAcrossStorageKinds) {
    const test::Bytes data = test::noiseBytes(200, 1);
    CByteBuffer b(data.data(), 40);
    for (const std::int32_t n : {100, 200, 30, 150, 10}) {
        SCOPED_TRACE(n);
        const std::int32_t kept = std::min(b.size(), n);
        b.resize(n);
        EXPECT_EQ(b.size(), n);
        EXPECT_TRUE(std::equal(b.data(), b.data() + kept, data.begin()));
        std::copy(data.begin(), data.begin() + n, b.data());
    }
}

TEST(CByteBuffer, CopiesMovesAndSwapsKeepTheBytes) {
    const test::Bytes small = {1, 2, 3}, large = test::noiseBytes(1000, 2);
    CByteBuffer a = test::bufferOf(small), b = test::bufferOf(large);
    a.swap(b);
    EXPECT_EQ(test::bytesOf(a), large);
    EXPECT_EQ(test::bytesOf(b), small);
    EXPECT_TRUE(b.isInline());
    CByteBuffer c(std::move(a));
    EXPECT_EQ(test::bytesOf(c), large);
    EXPECT_EQ(a.size(), 0);
    CByteBuffer d;
    d = c;
    EXPECT_TRUE(d == c);
    d = std::move(b);
    EXPECT_EQ(test::bytesOf(d), small);
}

} // namespace
} // namespace tal
