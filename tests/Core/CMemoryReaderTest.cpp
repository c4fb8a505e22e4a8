#include "Core/CMemoryReader.h"

#include "Core/CMemoryReaderStatic.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

using test::takeLines;
using test::takeMessage;

TEST(CMemoryReader, ReadsUpToTheEndThenReportsPositionCountAndSize) {
    const std::uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CMemoryReader r(data, 10);
    std::uint8_t out[16] = {};
    EXPECT_EQ(r.read(out, 10), nullptr);
    EXPECT_EQ(out[9], 9);
    EXPECT_EQ(r.position(), 10);

    const std::vector<std::string> lines = takeLines(r.read(out, 1));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Premature end of memory resource while reading (pos 10, count 1, size 10).");
    EXPECT_EQ(lines[1].rfind("Core/CMemoryReader( ", 0), 0u) << lines[1];
    EXPECT_EQ(r.position(), 10);

    std::int32_t count = 5;
    EXPECT_EQ(r.readUpTo(out, count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST(CMemoryReader, SkipAndSeekAreBoundedByTheSize) {
    const std::uint8_t data[10] = {};
    CMemoryReader r(data, 10);
    EXPECT_EQ(r.skip(4), nullptr);
    EXPECT_EQ(takeMessage(r.skip(7)),
              "Premature end of memory resource while skipping (pos 4, count 7, size 10).");
    EXPECT_EQ(r.position(), 4);
    EXPECT_EQ(r.setPosition(10), nullptr);
    EXPECT_EQ(takeMessage(r.setPosition(11)), "Positioning beyond memory resource end (newpos 11, size 10).");
    EXPECT_EQ(takeMessage(r.setPosition(std::uint64_t(1) << 32)),
              "Positioning beyond memory resource end (newpos 4294967296, size 10).");
    EXPECT_EQ(r.position(), 10);
}

TEST(CMemoryReader, NegativeOrOverflowingCountsNeverReadOutside) {
    const std::uint8_t data[10] = {};
    CMemoryReader r(data, 10);
    ASSERT_EQ(r.skip(6), nullptr);
    std::uint8_t out[8];
    for (const std::int32_t count : {-1, -6, INT32_MIN, INT32_MAX, 5}) {
        SCOPED_TRACE(count);
        EXPECT_NE(takeMessage(r.read(out, count)), "");
        EXPECT_NE(takeMessage(r.skip(count)), "");
        EXPECT_EQ(r.position(), 6);
    }
    std::int32_t count = -3;
    EXPECT_EQ(r.readUpTo(out, count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(r.position(), 6);
}

TEST(CMemoryReaderStatic, DataPointerIsTheUnreadByteUntilTheEnd) {
    const std::uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CMemoryReaderStatic r(data, 10);
    EXPECT_EQ(r.getDataPtr(), data);
    ASSERT_EQ(r.skip(3), nullptr);
    EXPECT_EQ(r.getDataPtr(), data + 3);
    EXPECT_EQ(r.getRemainingSize(), 7);
    ASSERT_EQ(r.skip(7), nullptr);
    EXPECT_EQ(r.getDataPtr(), nullptr);

    CMemoryReader plain(data, 10);
    EXPECT_EQ(plain.getDataPtr(), nullptr);
}

} // namespace
} // namespace tal
