// Compressed records: the zlib record (readCompressedData / writeCompressedData) and the DRIX
// record (readCompressedDataDRIX / writeCompressedDataDRIX), through memory streams.
#include "Core/CInputStream.h"

#include "Core/CMemoryReader.h"
#include "Core/CMemoryReaderStatic.h"
#include "Core/Drix.h"
#include "Core/RecordTags.h"
#include "support/SampleData.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace tal {
namespace {

using test::Bytes;
using test::takeMessage;

Bytes zlibRecord(const Bytes& payload, std::uint32_t tag) {
    return test::written([&](COutputStream& out) {
        ASSERT_EQ(out.writeCompressedData(test::bufferOf(payload), tag), nullptr);
    });
}

Bytes drixRecord(const Bytes& payload, std::uint32_t tag) {
    return test::written([&](COutputStream& out) {
        ASSERT_EQ(out.writeCompressedDataDRIX(test::bufferOf(payload), tag), nullptr);
    });
}

// zlib's own one-call compression at level 5: the reference for the record's payload.
Bytes compress2Level5(const Bytes& in) {
    uLongf n = compressBound(uLong(in.size()));
    Bytes out(n);
    EXPECT_EQ(compress2(out.data(), &n, in.data(), uLong(in.size()), 5), Z_OK);
    out.resize(n);
    return out;
}

Bytes le32(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; }

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string readZlib(const Bytes& record, std::uint32_t tag, Bytes* payload = nullptr) {
    CMemoryReader r(record.data(), std::int32_t(record.size()));
    CByteBuffer out;
    const std::string message = takeMessage(r.readCompressedData(out, tag));
    if (payload != nullptr && message.empty())
        *payload = test::bytesOf(out);
    return message;
}

TEST(ZlibRecord, EmptyPayloadIsHeaderPlusAnEmptyZlibStream) {
    const Bytes record = zlibRecord({}, kTagPreset);
    const Bytes expect = concat({{'a', 'p', 'r', 's'}, {0, 0, 0, 0}, le32(0x00040001), compress2Level5({})});
    EXPECT_EQ(record, expect);
    Bytes back = {1};
    EXPECT_EQ(readZlib(record, kTagPreset, &back), "");
    EXPECT_TRUE(back.empty());
}

class ZlibRecordSizes : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ZlibRecordSizes, PayloadIsZlibAtLevelFiveAndRoundTrips) {
    const std::size_t n = GetParam();
    const Bytes payload = n > 100000 ? test::imageLikeBytes(n, 3) : test::noiseBytes(n, 3);
    const Bytes record = zlibRecord(payload, kTagBank);
    ASSERT_GE(record.size(), 12u);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 4), (Bytes{'a', 'b', 'n', 'k'}));
    EXPECT_EQ(Bytes(record.begin() + 4, record.begin() + 8), le32(std::uint32_t(n)));
    const Bytes lengthBytes = le32(std::uint32_t(n));
    EXPECT_EQ(Bytes(record.begin() + 8, record.begin() + 12), le32(std::uint32_t(adler32(1, lengthBytes.data(), 4))));
    EXPECT_TRUE(Bytes(record.begin() + 12, record.end()) == compress2Level5(payload));

    Bytes back;
    ASSERT_EQ(readZlib(record, kTagBank, &back), "");
    EXPECT_TRUE(back == payload);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ZlibRecordSizes,
                         ::testing::Values(1, 100, 32767, 32768, 32769, 100000, (5u << 20) + 17));

TEST(ZlibRecord, WrongTagFailsWithBothTagsAsNumbers) {
    const Bytes record = zlibRecord({1, 2, 3}, kTagBank);
    EXPECT_EQ(readZlib(record, kTagPreset),
              "Invalid ID encountered when reading compressed data (expected 1936879713, read 1802396257).");
}

TEST(ZlibRecord, DamagedHeaderChecksumFailsBeforeAllocating) {
    Bytes record = zlibRecord({1, 2, 3, 4, 5}, kTagPreset);
    record[8] ^= 0x01;
    // Adler-32 of 05 00 00 00: a = 6, b = 24.
    const std::uint32_t computed = (24u << 16) | 6u;
    const std::uint32_t stored = computed ^ 0x01;
    EXPECT_EQ(readZlib(record, kTagPreset),
              "Invalid CRC encountered when reading compressed data (expected " + std::to_string(std::int32_t(stored)) +
                  ", read " + std::to_string(std::int32_t(computed)) + ").");
}

TEST(ZlibRecord, RawLengthOfTwoGigabytesOrMoreIsRefused) {
    const Bytes lengthBytes = le32(0x80000000u);
    const Bytes record = concat({{'a', 'p', 'r', 's'}, lengthBytes,
                                 le32(std::uint32_t(adler32(1, lengthBytes.data(), 4))), compress2Level5({1})});
    EXPECT_EQ(readZlib(record, kTagPreset), "Invalid data length 2147483648 in compressed data.");
}

TEST(ZlibRecord, StreamEndingBeforeTheRawLengthFails) {
    // Header claims 200 bytes; the zlib stream holds 100, followed by more input that is not zlib.
    const Bytes payload = test::noiseBytes(100, 5);
    const Bytes lengthBytes = le32(200);
    const Bytes record = concat({{'a', 'p', 'r', 's'}, lengthBytes, le32(std::uint32_t(adler32(1, lengthBytes.data(), 4))),
                                 compress2Level5(payload), Bytes(50, 0x55)});
    EXPECT_EQ(readZlib(record, kTagPreset), "Premature end of file.");

    // The same without trailing bytes: the source runs dry.
    const Bytes shortRecord = concat({{'a', 'p', 'r', 's'}, lengthBytes,
                                      le32(std::uint32_t(adler32(1, lengthBytes.data(), 4))), compress2Level5(payload)});
    EXPECT_EQ(readZlib(shortRecord, kTagPreset), "Premature end of file.");
}

TEST(ZlibRecord, LongerStreamYieldsItsFirstRawLengthBytes) {
    const Bytes payload = test::noiseBytes(300, 6);
    const Bytes lengthBytes = le32(120);
    const Bytes record = concat({{'a', 'p', 'r', 's'}, lengthBytes, le32(std::uint32_t(adler32(1, lengthBytes.data(), 4))),
                                 compress2Level5(payload)});
    Bytes back;
    ASSERT_EQ(readZlib(record, kTagPreset, &back), "");
    EXPECT_EQ(back, Bytes(payload.begin(), payload.begin() + 120));
}

TEST(ZlibRecord, StreamCutOrDamagedInsideItsChecksumTrailerFails) {
    // The payload is whole before the zlib stream's last four bytes (its Adler-32 of the payload).
    for (const std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(5000), std::size_t(40000)}) {
        const Bytes payload = test::noiseBytes(n, 9);
        const Bytes record = zlibRecord(payload, kTagPreset);
        for (std::size_t cut = 1; cut <= 4; ++cut) {
            SCOPED_TRACE("payload " + std::to_string(n) + ", cut " + std::to_string(cut));
            EXPECT_EQ(readZlib(Bytes(record.begin(), record.end() - std::ptrdiff_t(cut)), kTagPreset),
                      "Premature end of file.");
            Bytes damaged = record;
            damaged[damaged.size() - cut] ^= 0x40;
            EXPECT_NE(readZlib(damaged, kTagPreset), "");
        }
        Bytes back;
        EXPECT_EQ(readZlib(record, kTagPreset, &back), "");
        EXPECT_TRUE(back == payload);
    }
}

TEST(ZlibRecord, TruncatedOrDamagedRecordsAlwaysFail) {
    const Bytes payload = test::imageLikeBytes(20000, 8);
    const Bytes record = zlibRecord(payload, kTagAppData);
    for (std::size_t cut = 0; cut < record.size(); cut += 1 + cut / 5) {
        SCOPED_TRACE(cut);
        const Bytes part(record.begin(), record.begin() + std::ptrdiff_t(cut));
        EXPECT_NE(readZlib(part, kTagAppData), "");
    }
    std::mt19937 rng(12);
    int failures = 0;
    for (int trial = 0; trial < 200; ++trial) {
        Bytes damaged = record;
        damaged[14 + rng() % (damaged.size() - 14)] ^= std::uint8_t(1 + rng() % 255);
        Bytes back;
        const std::string message = readZlib(damaged, kTagAppData, &back);
        if (message.empty())
            EXPECT_EQ(back.size(), payload.size());   // damage in a way zlib cannot see: still exact length
        else
            ++failures;
    }
    EXPECT_GT(failures, 150);   // the zlib trailer's checksum catches nearly all of them
}

TEST(DrixRecord, EmptyPayloadHasNoBlock) {
    const Bytes record = drixRecord({}, 0);
    const Bytes lengths = {0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(record, concat({{0, 0, 0, 0}, lengths, le32(std::uint32_t(adler32(1, lengths.data(), 8)))}));
    CMemoryReader r(record.data(), std::int32_t(record.size()));
    CByteBuffer back(5);
    ASSERT_EQ(r.readCompressedDataDRIX(back, 0), nullptr);
    EXPECT_EQ(back.size(), 0);
}

TEST(DrixRecord, RoundTripsInPlaceAndCopiedAndStopsAfterTheRecord) {
    for (const std::size_t n : {std::size_t(3), std::size_t(10), std::size_t(5000), std::size_t(300000)}) {
        SCOPED_TRACE(n);
        const Bytes payload = test::imageLikeBytes(n, 2);
        Bytes stream = drixRecord(payload, kTagDrixImage);
        const Bytes header(stream.begin(), stream.begin() + 16);
        EXPECT_EQ(Bytes(header.begin() + 4, header.begin() + 8), le32(std::uint32_t(n)));
        EXPECT_EQ(Bytes(header.begin() + 8, header.begin() + 12), le32(std::uint32_t(stream.size() - 16)));
        stream.push_back(0xAB);   // what follows the record stays readable

        CMemoryReaderStatic inPlace(stream.data(), std::int32_t(stream.size()));
        CMemoryReader copied(stream.data(), std::int32_t(stream.size()));
        for (CMemoryReader* r : {static_cast<CMemoryReader*>(&inPlace), &copied}) {
            CByteBuffer back;
            ASSERT_EQ(r->readCompressedDataDRIX(back, kTagDrixImage), nullptr);
            EXPECT_TRUE(test::bytesOf(back) == payload);
            EXPECT_EQ(r->position(), std::int32_t(stream.size()) - 1);
        }
    }
}

// A DRIX record with the given lengths and block bytes and a correct header checksum.
Bytes handMadeDrix(std::uint32_t raw, std::uint32_t packed, const Bytes& block) {
    const Bytes lengths = concat({le32(raw), le32(packed)});
    return concat({{0, 0, 0, 0}, lengths, le32(std::uint32_t(adler32(1, lengths.data(), 8))), block});
}

std::string readDrix(const Bytes& record, bool inPlace) {
    CByteBuffer back;
    if (inPlace) {
        CMemoryReaderStatic r(record.data(), std::int32_t(record.size()));
        return takeMessage(r.readCompressedDataDRIX(back, 0));
    }
    CMemoryReader r(record.data(), std::int32_t(record.size()));
    return takeMessage(r.readCompressedDataDRIX(back, 0));
}

TEST(DrixRecord, DecoderFailuresNameTheDecoderCode) {
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace);
        EXPECT_EQ(readDrix(handMadeDrix(5, 0, {}), inPlace), "Invalid uncompressed data (expected 5 bytes, read -1).");
        EXPECT_EQ(readDrix(handMadeDrix(3, 8, {0x35, 3, 'a', 'b', 'c', 0, 0, 0}), inPlace),
                  "Invalid uncompressed data (expected 3 bytes, read -6).");
    }
}

TEST(DrixRecord, PackedLengthBeyondTheStreamIsRefusedBeforeDecoding) {
    Bytes record = drixRecord(test::imageLikeBytes(4000, 1), 0);
    record.resize(record.size() - 10);
    const std::int64_t packed = std::int64_t(record.size()) - 16 + 10;
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace);
        EXPECT_EQ(readDrix(record, inPlace), "Compressed data ends early (packed " + std::to_string(packed) + " bytes, " +
                                                 std::to_string(packed - 10) + " bytes left).");
    }
}

// A raw length the packed bytes cannot expand to fails as the decoder fails for it, with the
// decoder's code, without the reader reserving the raw length first. Packed length 0 is the
// decoder's bad-argument case.
TEST(DrixRecord, RawLengthsBeyondTheBlockFailWithTheDecodersCode) {
    const Bytes block = {0x25, 3, 'a', 'b', 'c', 0, 0, 0};
    for (const bool inPlace : {true, false}) {
        SCOPED_TRACE(inPlace);
        EXPECT_EQ(readDrix(handMadeDrix(100, 0, {}), inPlace), "Invalid uncompressed data (expected 100 bytes, read -1).");
        for (const std::uint32_t raw : {2000u, 1u << 20}) {
            std::vector<std::uint8_t> out(raw);
            const std::int32_t code = drixDecompress(block.data(), out.data(), 8, std::int32_t(raw));
            ASSERT_LT(code, 0);
            EXPECT_EQ(readDrix(handMadeDrix(raw, 8, block), inPlace),
                      "Invalid uncompressed data (expected " + std::to_string(raw) + " bytes, read " + std::to_string(code) + ").");
        }
    }
    // Lengths beyond the signed 32-bit range are refused as such.
    EXPECT_EQ(readDrix(handMadeDrix(0x80000000u, 8, block), true),
              "Invalid lengths in compressed data (raw 2147483648 bytes, packed 8 bytes).");
}

// The claimed raw length is not reserved when the block cannot fill it: the reader's buffer stays
// near the block's own reach.
TEST(DrixRecord, ImplausibleRawLengthIsNotReserved) {
    const Bytes record = handMadeDrix(0x7FFFFFFF, 8, {0x25, 3, 'a', 'b', 'c', 0, 0, 0});
    CMemoryReaderStatic r(record.data(), std::int32_t(record.size()));
    CByteBuffer back;
    const std::string message = takeMessage(r.readCompressedDataDRIX(back, 0));
    EXPECT_EQ(message.rfind("Invalid uncompressed data (expected 2147483647 bytes, read -", 0), 0u) << message;
    EXPECT_LT(back.size(), 1 << 20);
}

TEST(DrixRecord, EncoderWithoutMemoryWritesNothing) {
    setDrixTableAllocatorForTest([](std::size_t) -> void* { return nullptr; }, [](void*) {});
    CWriteSeqBuffer out;
    const std::string message = takeMessage(out.writeCompressedDataDRIX(test::bufferOf(test::noiseBytes(100, 1)), 0));
    setDrixTableAllocatorForTest(nullptr, nullptr);
    EXPECT_EQ(message, "Unable to compress 100 bytes: out of memory.");
    EXPECT_EQ(out.getSize(), 0);
}

} // namespace
} // namespace tal
