#include "Core/Drix.h"

#include "support/SampleData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tal {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes compress(const Bytes& in) {
    Bytes out(std::size_t(drixCompressBound(std::int32_t(in.size()))));
    const std::int32_t n = drixCompress(in.data(), out.data(), std::int32_t(in.size()), std::int32_t(out.size()));
    out.resize(std::size_t(n));
    return out;
}

// A plain, byte-at-a-time reading of format 2 that also records what the writer promised:
// reference distances, reference lengths and where the last literal run ends.
struct Walk {
    bool ok = false;
    Bytes out;
    std::vector<std::int64_t> distances;
    std::vector<std::int64_t> lengths;
    std::int64_t lastLiteralRun = 0;
    bool lastItemIsLiteral = false;
    bool endsExactly = false;   // the last item ends at the block's end (no padding)
};

Walk walkFormat2(const Bytes& b) {
    Walk w;
    if (b.size() < 8 || (b[0] >> 4) != 2)
        return w;
    const std::int64_t minRef = b[0] & 15, end = std::int64_t(b.size());
    std::int64_t ip = 1;
    std::uint64_t carried = 0;
    int bits = 0;
    while (ip < end - 6) {
        const int h = b[std::size_t(ip++)];
        const int l = h & 15, k = (h >> 4) & 3, hb = h >> 6;
        if (k == 0) {
            std::int64_t run = l;
            if (l == 0) {
                std::uint64_t v = 0;
                for (int i = 0; i < 5; ++i) {
                    const int byte = b[std::size_t(ip++)];
                    v |= std::uint64_t(byte & 127) << (7 * i);
                    if (!(byte & 128))
                        break;
                }
                run = 16 + std::int64_t(v & 0x7FFFFFFF);
            }
            if (ip + run > end)
                return w;
            for (std::int64_t i = 0; i < run; ++i)
                w.out.push_back(b[std::size_t(ip++)]);
            carried |= std::uint64_t(hb) << bits;
            bits += 2;
            w.lastItemIsLiteral = true;
            w.lastLiteralRun = run;
            continue;
        }
        std::uint64_t f = 0;
        for (int i = 0; i < k; ++i)
            f |= std::uint64_t(b[std::size_t(ip++)]) << (8 * i);
        const std::int64_t d = std::int64_t(((((f << 2) | std::uint64_t(hb)) & 0x7FFFFF) << bits) | carried);
        std::int64_t len = l + minRef - 1;
        if (l == 0) {
            const int b1 = b[std::size_t(ip++)];
            len = minRef + 15 + b1;
            if (b1 == 255)
                len += b[std::size_t(ip++)];
        }
        carried = k == 3 ? (f >> 21) : 0;
        bits = k == 3 ? 3 : 0;
        if (d <= 0 || d > std::int64_t(w.out.size()))
            return w;
        for (std::int64_t i = 0; i < len; ++i)
            w.out.push_back(w.out[w.out.size() - std::size_t(d)]);
        w.distances.push_back(d);
        w.lengths.push_back(len);
        w.lastItemIsLiteral = false;
    }
    w.ok = ip <= end;
    w.endsExactly = ip == end;
    return w;
}

TEST(Drix, SmallPayloadsGiveTheDocumentedBlocks) {
    EXPECT_EQ(compress(Bytes{'a', 'b', 'c'}), (Bytes{0x25, 0x03, 'a', 'b', 'c', 0, 0, 0}));

    Bytes ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Bytes expectTen = {0x25, 0x0A};
    expectTen.insert(expectTen.end(), ten.begin(), ten.end());
    EXPECT_EQ(compress(ten), expectTen);

    Bytes zeros(16, 0);
    Bytes expectZeros = {0x25, 0x00, 0x00};
    expectZeros.insert(expectZeros.end(), zeros.begin(), zeros.end());
    EXPECT_EQ(compress(zeros), expectZeros);
}

TEST(Drix, CompressBoundFollowsItsFormula) {
    EXPECT_EQ(drixCompressBound(0), 16);
    EXPECT_EQ(drixCompressBound(-5), 16);
    EXPECT_EQ(drixCompressBound(1), 1 + 2 * 1 + 16);
    EXPECT_EQ(drixCompressBound(21), 21 + 2 * ((21 - 5 + 15) / 16) - 1 + 16);
}

TEST(Drix, EmptyOrUndersizedOutputGivesNoBlock) {
    const Bytes in = test::noiseBytes(100, 1);
    Bytes out(200);
    EXPECT_EQ(drixCompress(in.data(), out.data(), 0, 200), 0);
    EXPECT_EQ(drixCompress(in.data(), out.data(), 100, drixCompressBound(100) - 1), 0);
}

TEST(Drix, LongRunOfZerosCompressesBelowOnePercent) {
    const Bytes zeros(100000, 0);
    const Bytes block = compress(zeros);
    EXPECT_LT(block.size(), zeros.size() / 100);
    const Walk w = walkFormat2(block);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.out, zeros);
    ASSERT_FALSE(w.distances.empty());
    for (std::int64_t d : w.distances)
        EXPECT_GE(d, 8);
}

struct RoundTripCase {
    const char* kind;
    std::size_t size;
};

class DrixRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

Bytes makePayload(const RoundTripCase& c) {
    const std::string kind = c.kind;
    if (kind == "noise")
        return test::noiseBytes(c.size, 7);
    if (kind == "image")
        return test::imageLikeBytes(c.size, 11);
    if (kind == "text") {
        const std::string words = "the quick brown fox jumps over the lazy dog; knob frame ";
        Bytes v;
        for (std::size_t i = 0; v.size() < c.size; ++i)
            v.push_back(std::uint8_t(words[(i * 7 + i / 13) % words.size()]));
        return v;
    }
    // "far": a block of noise repeated at a distance beyond 262144, which needs 3-byte offsets
    // and the carried bits.
    Bytes noise = test::noiseBytes(300000, 3);
    Bytes v = noise;
    while (v.size() < c.size)
        v.insert(v.end(), noise.begin(), noise.end());
    v.resize(c.size);
    return v;
}

TEST_P(DrixRoundTrip, DecodesToTheInputAndKeepsTheWriterInvariants) {
    const Bytes in = makePayload(GetParam());
    const Bytes block = compress(in);
    ASSERT_GT(block.size(), 0u);
    ASSERT_LE(block.size(), std::size_t(drixCompressBound(std::int32_t(in.size()))));

    Bytes out(in.size() + 1, 0xEE);   // one guard byte after the raw length
    ASSERT_EQ(drixDecompress(block.data(), out.data(), std::int32_t(block.size()), std::int32_t(in.size())),
              std::int32_t(in.size()));
    EXPECT_EQ(out.back(), 0xEE);
    out.pop_back();
    EXPECT_TRUE(out == in);

    const Walk w = walkFormat2(block);
    ASSERT_TRUE(w.ok);
    EXPECT_TRUE(w.out == in);
    for (std::size_t i = 0; i < w.distances.size(); ++i) {
        ASSERT_GE(w.distances[i], 8) << "reference " << i;
        ASSERT_LE(w.lengths[i], w.distances[i]) << "reference " << i;
    }
    if (in.size() >= 6) {
        EXPECT_TRUE(w.endsExactly);
        EXPECT_TRUE(w.lastItemIsLiteral);
        EXPECT_GE(w.lastLiteralRun, 6);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, DrixRoundTrip,
    ::testing::Values(RoundTripCase{"noise", 1}, RoundTripCase{"noise", 5}, RoundTripCase{"noise", 6},
                      RoundTripCase{"noise", 15}, RoundTripCase{"noise", 16}, RoundTripCase{"noise", 17},
                      RoundTripCase{"noise", 4096}, RoundTripCase{"text", 16}, RoundTripCase{"text", 100},
                      RoundTripCase{"text", 70000}, RoundTripCase{"image", 22}, RoundTripCase{"image", 1000},
                      RoundTripCase{"image", 65536}, RoundTripCase{"image", 1 << 20},
                      RoundTripCase{"far", 700000}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) {
        return std::string(info.param.kind) + "_" + std::to_string(info.param.size);
    });

TEST(Drix, ImageLikePayloadCompresses) {
    const Bytes in = test::imageLikeBytes(1 << 18, 5);
    EXPECT_LT(compress(in).size(), in.size() / 4);
}

TEST(Drix, BadArgumentsAndFormatsGiveTheirCodes) {
    const Bytes block = compress(Bytes{'a', 'b', 'c'});
    Bytes out(16);
    EXPECT_EQ(drixDecompress(block.data(), out.data(), 0, 3), kDrixBadArguments);
    EXPECT_EQ(drixDecompress(block.data(), out.data(), 0, 0), 0);
    EXPECT_EQ(drixDecompress(block.data(), out.data(), -1, 3), kDrixBadArguments);
    EXPECT_EQ(drixDecompress(block.data(), nullptr, 8, 3), kDrixBadArguments);
    EXPECT_EQ(drixDecompress(block.data(), out.data(), 8, 0), kDrixBadArguments);
    Bytes same = block;
    EXPECT_EQ(drixDecompress(same.data(), same.data(), 8, 3), kDrixBadArguments);

    Bytes format3 = block;
    format3[0] = 0x35;
    EXPECT_EQ(drixDecompress(format3.data(), out.data(), 8, 3), kDrixUnknownFormat);

    EXPECT_EQ(drixDecompress(block.data(), out.data(), 7, 3), kDrixBlockTooShort);
    EXPECT_EQ(drixDecompress(block.data(), out.data(), 8, 2), kDrixOutputOverrun);
    EXPECT_EQ(drixDecompress(block.data(), out.data(), 8, 4), kDrixLengthMismatch);
}

TEST(Drix, ReferencesBeforeTheOutputOrTooCloseAreRejected) {
    // Literal "abcdefgh", then a reference of 5 bytes: distance 9 (before the output) and 2.
    for (const std::uint8_t distance : {std::uint8_t(9), std::uint8_t(2)}) {
        SCOPED_TRACE(int(distance));
        // Literal header carries the low two distance bits; the reference carries the rest.
        Bytes block = {0x25, std::uint8_t(((distance & 3) << 6) | 8), 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h',
                       std::uint8_t(0x10 | (((distance >> 2) & 3) << 6) | 1), std::uint8_t(distance >> 4),
                       6, '1', '2', '3', '4', '5', '6'};
        Bytes out(19);
        EXPECT_EQ(drixDecompress(block.data(), out.data(), std::int32_t(block.size()), 19), kDrixBadDistance);
    }
}

TEST(Drix, HandBuiltFormat2BlockWithCarriedBitsDecodes) {
    // Literal "abcdefgh" (H = 0), reference distance 8 length 8, final literal of 6 bytes.
    const Bytes block = {0x25, 0x08, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x10 | (2 << 6) | 4, 0x00,
                         0x06, 'i', 'j', 'k', 'l', 'm', 'n'};
    Bytes out(22);
    ASSERT_EQ(drixDecompress(block.data(), out.data(), std::int32_t(block.size()), 22), 22);
    EXPECT_EQ(std::string(out.begin(), out.end()), "abcdefghabcdefghijklmn");
}

// References closer than the decoder's copy steps (distances 5 to 40, lengths up to the distance),
// back to back, decode as the plain reading does, and nothing is written past the raw length.
TEST(Drix, CloseReferencesDecodeLikeThePlainReading) {
    for (int shift = 0; shift < 6; ++shift) {
        SCOPED_TRACE(shift);
        std::vector<std::pair<int, int>> refs;   // distance, length
        for (int d = 5; d <= 40; ++d)
            refs.emplace_back(d, 5 + (d * 7 + shift) % (std::min(d, 34) - 4));
        // A literal of 40 bytes whose header carries the low distance bits of the first reference.
        Bytes block = {0x25, std::uint8_t((refs[0].first & 3) << 6), 24};
        for (int i = 0; i < 40; ++i)
            block.push_back(std::uint8_t('A' + (i * 11 + shift) % 26));
        int bits = 2;
        for (const auto& [d, length] : refs) {
            const int v = d >> bits;   // the carried bits already hold the rest
            const int l = length <= 19 ? length - 4 : 0;
            block.push_back(std::uint8_t(0x10 | (v & 3) << 6 | l));
            block.push_back(std::uint8_t(v >> 2));
            if (l == 0)
                block.push_back(std::uint8_t(length - 20));
            bits = 0;
        }
        block.insert(block.end(), {0x08, '1', '2', '3', '4', '5', '6', '7', '8'});
        const Walk w = walkFormat2(block);
        ASSERT_TRUE(w.ok);
        ASSERT_EQ(w.distances.size(), refs.size());
        Bytes out(w.out.size() + 1, 0xEE);
        ASSERT_EQ(drixDecompress(block.data(), out.data(), std::int32_t(block.size()), std::int32_t(w.out.size())),
                  std::int32_t(w.out.size()));
        EXPECT_EQ(out.back(), 0xEE);
        out.pop_back();
        EXPECT_TRUE(out == w.out);
    }
}

TEST(Drix, Format1BlocksDecode) {
    // Literal run, then a one-byte-offset reference: D = (((B1 << 2) | H) << 2) | Hlit = 8.
    const Bytes shortRef = {0x15, 0x08, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x10 | (2 << 6) | 4, 0x00,
                            0x06, 'i', 'j', 'k', 'l', 'm', 'n'};
    Bytes out(22);
    ASSERT_EQ(drixDecompress(shortRef.data(), out.data(), std::int32_t(shortRef.size()), 22), 22);
    EXPECT_EQ(std::string(out.begin(), out.end()), "abcdefghabcdefghijklmn");

    // Literal with H = 1, then a three-byte reference: D = (F << 2) | 1 = 9, length 9.
    const Bytes longRef = {0x15, 0x40 | 9, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0x35, 0x02, 0x00, 0x00,
                           0x06, '1', '2', '3', '4', '5', '6'};
    Bytes out2(24);
    ASSERT_EQ(drixDecompress(longRef.data(), out2.data(), std::int32_t(longRef.size()), 24), 24);
    EXPECT_EQ(std::string(out2.begin(), out2.end()), "abcdefghiabcdefghi123456");

    EXPECT_EQ(drixDecompress1(shortRef.data(), out.data(), 6, 22), kDrixBlockTooShort);
}

TEST(Drix, TruncatedOrDamagedBlocksNeverOverrun) {
    const Bytes in = test::imageLikeBytes(20000, 9);
    const Bytes block = compress(in);
    Bytes out(in.size());
    for (std::size_t cut = 0; cut < block.size(); cut += 1 + cut / 8) {
        SCOPED_TRACE(cut);
        EXPECT_LT(drixDecompress(block.data(), out.data(), std::int32_t(cut), std::int32_t(in.size())), 0);
    }
    std::mt19937 rng(4);
    for (int trial = 0; trial < 300; ++trial) {
        Bytes damaged = block;
        damaged[1 + rng() % (damaged.size() - 1)] ^= std::uint8_t(1 + rng() % 255);
        const std::int32_t r = drixDecompress(damaged.data(), out.data(), std::int32_t(damaged.size()),
                                              std::int32_t(in.size()));
        EXPECT_TRUE(r < 0 || r == std::int32_t(in.size())) << "trial " << trial << " gave " << r;
    }
}

TEST(Drix, FailedTableAllocationGivesNoBlock) {
    setDrixTableAllocatorForTest([](std::size_t) -> void* { return nullptr; }, [](void*) {});
    const Bytes in = test::noiseBytes(64, 2);
    Bytes out(std::size_t(drixCompressBound(64)));
    const std::int32_t n = drixCompress(in.data(), out.data(), 64, std::int32_t(out.size()));
    setDrixTableAllocatorForTest(nullptr, nullptr);
    EXPECT_EQ(n, 0);
}

} // namespace
} // namespace tal
