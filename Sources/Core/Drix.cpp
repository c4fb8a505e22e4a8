#include "Core/Drix.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tal {

namespace {

DrixTableAlloc gTableAlloc = nullptr;   // null: std::malloc
DrixTableFree gTableFree = nullptr;     // null: std::free

constexpr std::uint8_t kFormat2Header = 0x25;   // format 2, minimum reference length 5
constexpr std::int32_t kMaxMatch = 529;
constexpr std::int32_t kMaxDistance = 8388607;
constexpr std::int32_t kFarDistance = 262144;   // from here a match needs 6 bytes
constexpr std::uint32_t kMinTableBytes = 8192;
constexpr std::uint32_t kMaxTableBytes = 8388608;

inline std::uint32_t load32(const std::uint8_t* p) noexcept {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline std::uint64_t load64(const std::uint8_t* p) noexcept {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

struct Match {
    std::int32_t start = 0;
    std::int32_t length = 0;
    std::int32_t distance = 0;
    std::int32_t end() const noexcept { return start + length; }
};

// One format-2 encoding run. The hash table has 64-byte buckets of sixteen 32-bit words: seven
// entries (input word, position) at word indices 0, 2, ..., 12 and the newest entry's index at 15.
class DrixEncoder {
public:
    DrixEncoder(const std::uint8_t* src, std::int32_t n, std::uint8_t* dst, std::uint32_t* table,
                std::uint32_t tableBytes) noexcept
        : mSrc(src), mN(n), mOut(dst), mTable(table), mOffsetMask((tableBytes - 1) & ~63u) {}

    std::uint8_t* run() noexcept {
        const std::uint32_t first = load32(mSrc);
        const std::uint32_t words = (mOffsetMask + 64) / 4;
        for (std::uint32_t i = 0; i < words; i += 16) {
            for (int e = 0; e < 14; e += 2) {
                mTable[i + e] = first;
                mTable[i + e + 1] = 0;
            }
            mTable[i + 14] = 0;
            mTable[i + 15] = 0;
        }

        std::int32_t a = 0;   // first byte not yet emitted
        bool hasPending = false;
        Match pending;
        std::int32_t p = 0;
        while (p < mN - 15) {
            const std::int32_t limit = std::min(mN - 6 - p, kMaxMatch);
            const std::uint32_t w = load32(mSrc + p);
            std::uint32_t* bucket = bucketOf(p, w);
            Match m{p, 1, 0};
            std::uint32_t idx = bucket[15];
            for (int k = 0; k < 7; ++k) {
                if (bucket[idx] == w) {
                    const std::int32_t d = p - std::int32_t(bucket[idx + 1]);
                    const std::int32_t len = matchLength(p, p - d, std::min(d, limit));
                    if (len > m.length) {
                        m.length = len;
                        m.distance = d;
                    }
                }
                idx = idx == 12 ? 0 : idx + 2;
            }
            if (m.distance != m.length)
                insert(bucket, w, p);

            const bool usable = m.distance >= 8 && m.distance <= kMaxDistance &&
                                m.length >= (m.distance < kFarDistance ? 5 : 6);
            if (!usable) {
                ++p;
                continue;
            }
            if (p > a) {
                const std::int32_t most =
                    std::min({std::min(m.distance, limit) - m.length, p - a, p - m.distance});
                for (std::int32_t ext = 0; ext < most && mSrc[m.start - 1] == mSrc[m.start - 1 - m.distance];
                     ++ext) {
                    --m.start;
                    ++m.length;
                }
            }
            if (!hasPending) {
                pending = m;
                hasPending = true;
                ++p;
                continue;
            }
            const std::int64_t costPending = cost(pending.start - a, pending.distance);
            const std::int64_t costNew = cost(m.start - a, m.distance);
            if (costNew * pending.length > costPending * m.length) {
                emit(pending, a);
                a = pending.end();
                if (a <= m.start) {
                    pending = m;
                    ++p;
                } else {
                    hasPending = false;
                    p = std::max(p + 1, a);
                }
            } else {
                hasPending = false;
                emit(m, a);
                const std::int32_t q = m.start + 4;
                insert(bucketOf(q, load32(mSrc + q)), load32(mSrc + q), q);
                a = m.end();
                p = a;
            }
        }
        if (hasPending) {
            emit(pending, a);
            a = pending.end();
        }
        const std::int32_t rest = mN - a;   // at least 6: no match reaches into the last 6 bytes
        if (rest < 16) {
            *mOut++ = std::uint8_t(rest);
        } else {
            *mOut++ = 0;
            writeVarint(std::uint32_t(rest - 16));
        }
        std::memcpy(mOut, mSrc + a, std::size_t(rest));
        return mOut + rest;
    }

private:
    std::uint32_t* bucketOf(std::int32_t p, std::uint32_t w) const noexcept {
        const std::uint32_t h = (w ^ 0x243F6A88u) * (std::uint32_t(mSrc[p + 4]) ^ 0x85A308D3u);
        return mTable + (((h >> 8) & mOffsetMask) >> 2);
    }

    static void insert(std::uint32_t* bucket, std::uint32_t w, std::int32_t p) noexcept {
        const std::uint32_t idx = bucket[15] == 0 ? 12 : bucket[15] - 2;
        bucket[idx] = w;
        bucket[idx + 1] = std::uint32_t(p);
        bucket[15] = idx;
    }

    // Equal bytes at p and q (the first 4 are known equal), at most maxLength.
    std::int32_t matchLength(std::int32_t p, std::int32_t q, std::int32_t maxLength) const noexcept {
        std::int32_t len = 4;
        while (len + 8 <= maxLength) {
            const std::uint64_t diff = load64(mSrc + p + len) ^ load64(mSrc + q + len);
            if (diff != 0)
                return len + std::int32_t(__builtin_ctzll(diff) >> 3);
            len += 8;
        }
        while (len < maxLength && mSrc[p + len] == mSrc[q + len])
            ++len;
        return std::min(len, maxLength);
    }

    // Estimated bytes for a match with lit literals before it.
    std::int32_t cost(std::int32_t lit, std::int32_t distance) const noexcept {
        std::uint32_t v = std::uint32_t(distance) >> mCarryBits;
        if (lit > 0)
            v >>= 2;
        return lit + (lit > 0) + (lit >= 16) + (v >= 1024) + (v >= 262144) + 2;
    }

    void writeVarint(std::uint32_t v) noexcept {
        while (v >= 0x80) {
            *mOut++ = std::uint8_t(v | 0x80);
            v >>= 7;
        }
        *mOut++ = std::uint8_t(v);
    }

    void emit(const Match& m, std::int32_t a) noexcept {
        const std::uint32_t d = std::uint32_t(m.distance);
        if (mCarry != nullptr)   // the low carried bits of d go into the top bits of the carry byte
            *mCarry |= std::uint8_t(((d << 8) >> mCarryBits) & 255);
        std::uint32_t v = d >> mCarryBits;
        const std::int32_t lit = m.start - a;
        if (lit > 0) {
            const std::uint8_t h = std::uint8_t((v & 3) << 6);
            if (lit < 16) {
                *mOut++ = std::uint8_t(h | lit);
            } else {
                *mOut++ = h;
                writeVarint(std::uint32_t(lit - 16));
            }
            std::memcpy(mOut, mSrc + a, std::size_t(lit));
            mOut += lit;
            v >>= 2;
        }
        const std::uint32_t k = 1 + (v >= 1024) + (v >= 262144);
        const std::int32_t lengthCode = m.length - 4;
        *mOut++ = std::uint8_t(k << 4 | (v & 3) << 6 | (lengthCode <= 15 ? std::uint32_t(lengthCode) : 0));
        const std::uint32_t field = v >> 2;
        for (std::uint32_t i = 0; i < k; ++i)
            *mOut++ = std::uint8_t(field >> (8 * i));
        mCarry = mOut - 1;
        if (lengthCode > 15) {
            if (m.length <= 274) {
                *mOut++ = std::uint8_t(m.length - 20);
            } else {
                *mOut++ = 255;
                *mOut++ = std::uint8_t(m.length - 275);
            }
        }
        mCarryBits = k == 3 ? 3 : 0;
    }

    const std::uint8_t* mSrc;
    std::int32_t mN;
    std::uint8_t* mOut;
    std::uint32_t* mTable;
    std::uint32_t mOffsetMask;
    std::uint8_t* mCarry = nullptr;   // last offset byte of the previous reference
    std::uint32_t mCarryBits = 0;
};

// Shared argument checks of the decoders; 1 means "go on decoding".
std::int32_t checkArguments(const std::uint8_t* block, std::uint8_t* out, std::int32_t packed,
                            std::int32_t raw) noexcept {
    if (packed < 0)
        return kDrixBadArguments;
    if (packed == 0)
        return raw == 0 ? 0 : kDrixBadArguments;
    if (block == nullptr || out == nullptr || raw <= 0)
        return kDrixBadArguments;
    const std::uintptr_t b = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t o = reinterpret_cast<std::uintptr_t>(out);
    if (b < o + std::uintptr_t(raw) && o < b + std::uintptr_t(packed))
        return kDrixBadArguments;
    return 1;
}

// Copies a reference; the caller has checked 1 <= distance <= op and length <= distance, so source
// and destination never overlap.
inline void copyReference(std::uint8_t* out, std::int64_t op, std::int64_t distance, std::int64_t length) noexcept {
    std::memcpy(out + op, out + op - distance, std::size_t(length));
}

// Copies n bytes (n >= 1) in 32-byte steps, writing up to 31 bytes beyond n and reading as far
// beyond the source: the caller makes sure both areas have that room. The n bytes needed lie wholly
// before the destination (a reference is never longer than its distance), so this copy never
// overwrites them; what it reads beyond them lands beyond n, where later items write over it.
// Close references overlap a step's source and destination: memmove, which loads before it stores
// (inlined as two 16-byte moves all the same).
inline void wideCopy(std::uint8_t* d, const std::uint8_t* s, std::int64_t n) noexcept {
    do {
        std::memmove(d, s, 16);
        std::memmove(d + 16, s + 16, 16);
        d += 32;
        s += 32;
        n -= 32;
    } while (n > 0);
}

std::int32_t decode2(const std::uint8_t* block, std::uint8_t* out, std::int32_t packed, std::int32_t raw) noexcept {
    if (packed < 8)
        return kDrixBlockTooShort;
    const std::int64_t minRef = block[0] & 15;
    const std::int64_t end = packed;
    std::int64_t ip = 1;
    std::int64_t op = 0;
    std::uint64_t carried = 0;
    std::uint32_t carriedBits = 0;
    while (ip < end - 6) {
        const std::uint32_t h = block[ip++];
        const std::uint32_t l = h & 15, k = (h >> 4) & 3, hb = h >> 6;
        if (k == 0) {
            std::int64_t run = l;
            if (l == 0) {
                std::uint64_t v = 0;
                for (int i = 0; i < 5; ++i) {
                    if (ip >= end)
                        return kDrixBlockTooShort;
                    const std::uint32_t b = block[ip++];
                    v |= std::uint64_t(b & 0x7F) << (7 * i);
                    if ((b & 0x80) == 0)
                        break;
                }
                run = 16 + std::int64_t(v & 0x7FFFFFFF);
            }
            if (run > end - ip)
                return kDrixBlockTooShort;
            if (run > raw - op)
                return kDrixOutputOverrun;
            // Away from the ends of the block and the output the copy may run over.
            if (run + 32 <= end - ip && run + 32 <= raw - op)
                wideCopy(out + op, block + ip, run);
            else
                std::memcpy(out + op, block + ip, std::size_t(run));
            op += run;
            ip += run;
            // Two literal runs never follow each other in a valid block; the cap only keeps the
            // shifts defined on damaged input, whose distances then fail the checks below.
            carried |= std::uint64_t(hb) << carriedBits;
            carriedBits = std::min(carriedBits + 2, 40u);
            continue;
        }
        if (std::int64_t(k) > end - ip)
            return kDrixBlockTooShort;
        std::uint32_t field = 0;
        for (std::uint32_t i = 0; i < k; ++i)
            field |= std::uint32_t(block[ip++]) << (8 * i);
        const std::int64_t distance =
            std::int64_t(((((std::uint64_t(field) << 2) | hb) & 0x7FFFFF) << carriedBits) | carried);
        std::int64_t length = l + minRef - 1;
        if (l == 0) {
            if (ip >= end)
                return kDrixBlockTooShort;
            const std::uint32_t b = block[ip++];
            length = minRef + 15 + b;
            if (b == 255) {
                if (ip >= end)
                    return kDrixBlockTooShort;
                length += block[ip++];
            }
        }
        if (k == 3) {
            carried = field >> 21;
            carriedBits = 3;
        } else {
            carried = 0;
            carriedBits = 0;
        }
        if (distance < 4 || distance > op || length > distance)
            return kDrixBadDistance;
        if (length > raw - op)
            return kDrixOutputOverrun;
        if (length + 32 <= raw - op)
            wideCopy(out + op, out + op - distance, length);
        else
            copyReference(out, op, distance, length);
        op += length;
    }
    return op == raw ? raw : kDrixLengthMismatch;
}

std::int32_t decode1(const std::uint8_t* block, std::uint8_t* out, std::int32_t packed, std::int32_t raw) noexcept {
    if (packed < 7)
        return kDrixBlockTooShort;
    const std::int64_t minRef = block[0] & 15;
    const std::int64_t end = packed;
    std::int64_t ip = 1;
    std::int64_t op = 0;
    std::uint64_t carried = 0;
    std::uint32_t carriedBits = 0;
    while (ip < end - 5) {
        const std::uint32_t h = block[ip++];
        const std::uint32_t l = h & 15, k = (h >> 4) & 3, hb = h >> 6;
        if (k == 0) {
            std::int64_t run = l;
            if (l == 0) {
                if (ip >= end)
                    return kDrixBlockTooShort;
                const std::uint32_t b1 = block[ip++];
                run = 16 + b1;
                if (b1 == 255) {
                    if (ip >= end)
                        return kDrixBlockTooShort;
                    run += block[ip++];
                }
            }
            if (run > end - ip)
                return kDrixBlockTooShort;
            if (run > raw - op)
                return kDrixOutputOverrun;
            std::memcpy(out + op, block + ip, std::size_t(run));
            op += run;
            ip += run;
            carried = hb;
            carriedBits = 2;
            continue;
        }
        if (std::int64_t(k) > end - ip)
            return kDrixBlockTooShort;
        std::uint64_t field = 0;
        for (std::uint32_t i = 0; i < k; ++i)
            field |= std::uint64_t(block[ip++]) << (8 * i);
        std::int64_t distance;
        if (k == 3) {
            distance = std::int64_t((field << carriedBits) | carried);
            carried = hb;
            carriedBits = 2;
        } else {
            distance = std::int64_t((((field << 2) | hb) << carriedBits) | carried);
            carried = 0;
            carriedBits = 0;
        }
        std::int64_t length = l + minRef - 1;
        if (l == 0) {
            if (ip >= end)
                return kDrixBlockTooShort;
            length = minRef + 15 + block[ip++];
        }
        if (distance < 1 || distance > op || length > distance)
            return kDrixBadDistance;
        if (length > raw - op)
            return kDrixOutputOverrun;
        copyReference(out, op, distance, length);
        op += length;
    }
    return op == raw ? raw : kDrixLengthMismatch;
}

} // namespace

std::int32_t drixCompressBound(std::int32_t n) noexcept {
    if (n <= 0)
        return 16;
    return n + 2 * ((n - 5 * (n / 21) + 15) / 16) - n / 21 + 16;
}

std::int32_t drixCompress(const std::uint8_t* src, std::uint8_t* dst, std::int32_t n, std::int32_t capacity) noexcept {
    if (n <= 0 || src == nullptr || dst == nullptr || capacity < drixCompressBound(n))
        return 0;
    dst[0] = kFormat2Header;
    if (n < 16) {
        dst[1] = std::uint8_t(n);
        std::memcpy(dst + 2, src, std::size_t(n));
        if (n < 6) {
            std::memset(dst + 2 + n, 0, std::size_t(6 - n));
            return 8;
        }
        return n + 2;
    }
    std::uint32_t tableBytes = kMinTableBytes;
    while (tableBytes / 4 < std::uint32_t(n) && tableBytes < kMaxTableBytes)
        tableBytes *= 2;
    void* table = gTableAlloc ? gTableAlloc(tableBytes) : std::malloc(tableBytes);
    if (table == nullptr)
        return 0;
    DrixEncoder encoder(src, n, dst + 1, static_cast<std::uint32_t*>(table), tableBytes);
    const std::uint8_t* end = encoder.run();
    if (gTableFree)
        gTableFree(table);
    else
        std::free(table);
    return std::int32_t(end - dst);
}

std::int32_t drixDecompress(const std::uint8_t* block, std::uint8_t* out, std::int32_t packedLength,
                            std::int32_t rawLength) noexcept {
    const std::int32_t check = checkArguments(block, out, packedLength, rawLength);
    if (check != 1)
        return check;
    switch (block[0] >> 4) {
    case 1: return decode1(block, out, packedLength, rawLength);
    case 2: return decode2(block, out, packedLength, rawLength);
    default: return kDrixUnknownFormat;
    }
}

std::int32_t drixDecompress1(const std::uint8_t* block, std::uint8_t* out, std::int32_t packedLength,
                             std::int32_t rawLength) noexcept {
    const std::int32_t check = checkArguments(block, out, packedLength, rawLength);
    return check != 1 ? check : decode1(block, out, packedLength, rawLength);
}

std::int32_t drixDecompress2(const std::uint8_t* block, std::uint8_t* out, std::int32_t packedLength,
                             std::int32_t rawLength) noexcept {
    const std::int32_t check = checkArguments(block, out, packedLength, rawLength);
    return check != 1 ? check : decode2(block, out, packedLength, rawLength);
}

void setDrixTableAllocatorForTest(DrixTableAlloc alloc, DrixTableFree release) noexcept {
    gTableAlloc = alloc;
    gTableFree = release;
}

} // namespace tal
