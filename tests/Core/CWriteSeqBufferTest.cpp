#include "Core/CWriteSeqBuffer.h"

#include "Core/CByteBuffer.h"
#include "support/SampleData.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

using test::Bytes;

// Records every write call it receives.
class RecordingStream : public COutputStream {
public:
    CError* write(const void* source, std::int32_t count) override {
        calls.push_back(count);
        const auto* p = static_cast<const std::uint8_t*>(source);
        bytes.insert(bytes.end(), p, p + count);
        return nullptr;
    }
    std::vector<std::int32_t> calls;
    Bytes bytes;
};

Bytes contents(const CWriteSeqBuffer& b) {
    Bytes out(std::size_t(b.getSize()));
    b.copyTo(out.data());
    return out;
}

TEST(CWriteSeqBuffer, NewBufferIsEmptyAndWritesOnceWithZeroBytes) {
    CWriteSeqBuffer b;
    EXPECT_EQ(b.getSize(), 0);
    RecordingStream target;
    ASSERT_EQ(b.writeTo(target), nullptr);
    EXPECT_EQ(target.calls, (std::vector<std::int32_t>{0}));
    CByteBuffer out(500);
    b.moveTo(out);
    EXPECT_EQ(out.size(), 0);
    EXPECT_TRUE(out.isInline());
}

TEST(CWriteSeqBuffer, BlocksGrowFromInlineToSmallToLarge) {
    CWriteSeqBuffer b;
    const Bytes data = test::noiseBytes(1024, 1);
    ASSERT_EQ(b.write(data.data(), 1024), nullptr);
    EXPECT_EQ(b.segmentCount(), 1);
    EXPECT_EQ(b.blockFree(), 0);
    ASSERT_EQ(b.write(data.data(), 1), nullptr);
    EXPECT_EQ(b.segmentCount(), 2);
    EXPECT_EQ(b.blockFree(), 2047);
    EXPECT_EQ(b.getSize(), 1025);

    // One byte at a time: 1024, five blocks of 2048, then 32768-byte blocks.
    CWriteSeqBuffer bytewise;
    const Bytes big = test::noiseBytes(1024 + 5 * 2048 + 40000, 2);
    RecordingStream target;
    for (std::size_t i = 0; i < big.size(); ++i) {
        ASSERT_EQ(bytewise.write(&big[i], 1), nullptr);
        ASSERT_EQ(bytewise.getSize(), std::int32_t(i + 1));
    }
    ASSERT_EQ(bytewise.writeTo(target), nullptr);
    EXPECT_EQ(target.calls, (std::vector<std::int32_t>{1024, 2048, 2048, 2048, 2048, 2048, 32768, 40000 - 32768}));
    EXPECT_TRUE(target.bytes == big);
    EXPECT_TRUE(contents(bytewise) == big);
}

TEST(CWriteSeqBuffer, OneLargeWriteGetsABlockOfItsOwnSize) {
    CWriteSeqBuffer b;
    const Bytes data = test::noiseBytes(5000, 3);
    ASSERT_EQ(b.write(data.data(), 5000), nullptr);
    RecordingStream target;
    ASSERT_EQ(b.writeTo(target), nullptr);
    EXPECT_EQ(target.calls, (std::vector<std::int32_t>{1024, 3976}));
    EXPECT_EQ(b.blockFree(), 0);
    EXPECT_TRUE(contents(b) == data);
}

TEST(CWriteSeqBuffer, TextClosesBlocksEarlyWithoutGaps) {
    // 3000 characters 0xE9 (two UTF-8 bytes each), then 1000 euro signs (three bytes each).
    CString latin;
    latin.setLength(3000, false);
    for (int i = 0; i < 3000; ++i)
        latin.chars8()[i] = char(0xE9);
    std::u32string euros(1000, U'\u20AC');
    CWriteSeqBuffer b;
    ASSERT_EQ(b.write("x", 1), nullptr);   // odd start: the 2-byte characters do not fill blocks evenly
    ASSERT_EQ(b.writeText8(latin.chars8(), false), nullptr);
    ASSERT_EQ(b.writeText32(euros.c_str(), true), nullptr);
    Bytes expect = {'x'};
    for (int i = 0; i < 3000; ++i)
        expect.insert(expect.end(), {0xC3, 0xA9});
    for (int i = 0; i < 1000; ++i)
        expect.insert(expect.end(), {0xE2, 0x82, 0xAC});
    expect.push_back(0);
    EXPECT_EQ(b.getSize(), std::int32_t(expect.size()));
    EXPECT_TRUE(contents(b) == expect);
    RecordingStream target;
    ASSERT_EQ(b.writeTo(target), nullptr);
    EXPECT_TRUE(target.bytes == expect);
    EXPECT_EQ(target.calls[0], 1023);   // the inline block closed one byte short
}

TEST(CWriteSeqBuffer, MoveToEmptiesTheBufferForReuse) {
    CWriteSeqBuffer b;
    const Bytes data = test::noiseBytes(70000, 4);
    ASSERT_EQ(b.write(data.data(), std::int32_t(data.size())), nullptr);
    CByteBuffer out;
    b.moveTo(out);
    EXPECT_TRUE(test::bytesOf(out) == data);
    EXPECT_EQ(b.getSize(), 0);
    EXPECT_EQ(b.segmentCount(), 1);
    ASSERT_EQ(b.write("ab", 2), nullptr);
    EXPECT_EQ(contents(b), (Bytes{'a', 'b'}));
}

TEST(CWriteSeqBuffer, WriteToStopsAtTheFirstError) {
    class Failing : public COutputStream {
    public:
        CError* write(const void*, std::int32_t) override { return newError("@talstr_Test_write_Fail Refused."); }
    } target;
    CWriteSeqBuffer b;
    const Bytes data = test::noiseBytes(3000, 5);
    ASSERT_EQ(b.write(data.data(), 3000), nullptr);
    const std::vector<std::string> lines = test::takeLines(b.writeTo(target));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Refused.");
    EXPECT_EQ(lines[2].rfind("Core/CWriteSeqBuffer( ", 0), 0u) << lines[2];
}

} // namespace
} // namespace tal
