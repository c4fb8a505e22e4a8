#include "Core/CByteBuffer.h"

#include "support/SampleData.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

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
