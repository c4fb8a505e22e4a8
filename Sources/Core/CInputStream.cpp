#include "Core/CInputStream.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CInputZipStream.h"
#include "Core/CString.h"
#include "Core/Drix.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tal {

namespace {

constexpr std::int32_t kSkipChunk = 32768;
constexpr std::int32_t kMaxStringBytes = 61440;
// A zlib record's buffer is taken whole up to this size; above it, it grows with the data that
// actually arrives, so that a damaged length cannot make the reader reserve gigabytes.
constexpr std::int32_t kDirectInflateBytes = 4 << 20;
// No DRIX block expands more than this per packed byte (the longest reference in 4 bytes).
constexpr std::int64_t kDrixMaxExpansion = 136;

inline std::uint32_t le32(const std::uint8_t* p) noexcept {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

inline std::uint32_t adler32Of(const std::uint8_t* bytes, unsigned count) noexcept {
    return std::uint32_t(adler32(1, bytes, count));
}

// A tag or checksum as the messages show it: a signed decimal number.
inline CString signedText(std::uint32_t value) { return CString(std::int32_t(value)); }

} // namespace

const std::uint8_t* CInputStream::getDataPtr() { return nullptr; }

std::int64_t CInputStream::getRemainingSize() { return -1; }

CError* CInputStream::skip(std::int32_t count) {
    if (count < 1)
        return nullptr;
    const std::int32_t chunk = std::min(count, kSkipChunk);
    CByteBuffer scratch(chunk);
    while (count > 0) {
        const std::int32_t n = std::min(count, chunk);
        if (CError* err = read(scratch.data(), n))
            return traceError(err);
        count -= n;
    }
    return nullptr;
}

CError* CInputStream::readUpTo(void* destination, std::int32_t& count) { return read(destination, count); }

CError* CInputStream::read8(std::uint8_t& value) {
    if (CError* err = read(&value, 1))
        return traceError(err);
    return nullptr;
}

CError* CInputStream::read16(std::uint16_t& value) {
    std::uint8_t b[2];
    if (CError* err = read(b, 2))
        return traceError(err);
    value = std::uint16_t(b[0] | b[1] << 8);
    return nullptr;
}

CError* CInputStream::read16BE(std::uint16_t& value) {
    std::uint8_t b[2];
    if (CError* err = read(b, 2))
        return traceError(err);
    value = std::uint16_t(b[1] | b[0] << 8);
    return nullptr;
}

CError* CInputStream::read32(std::uint32_t& value) {
    std::uint8_t b[4];
    if (CError* err = read(b, 4))
        return traceError(err);
    value = le32(b);
    return nullptr;
}

CError* CInputStream::read32(std::int32_t& value) {
    std::uint8_t b[4];
    if (CError* err = read(b, 4))
        return traceError(err);
    value = std::int32_t(le32(b));
    return nullptr;
}

CError* CInputStream::read32BE(std::uint32_t& value) {
    std::uint8_t b[4];
    if (CError* err = read(b, 4))
        return traceError(err);
    value = std::uint32_t(b[3]) | std::uint32_t(b[2]) << 8 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[0]) << 24;
    return nullptr;
}

CError* CInputStream::read64(std::uint64_t& value) {
    std::uint8_t b[8];
    if (CError* err = read(b, 8))
        return traceError(err);
    value = std::uint64_t(le32(b)) | std::uint64_t(le32(b + 4)) << 32;
    return nullptr;
}

CError* CInputStream::read64(std::int64_t& value) {
    std::uint64_t v = 0;
    if (CError* err = read64(v))
        return traceError(err);
    value = std::int64_t(v);
    return nullptr;
}

CError* CInputStream::readDouble(double& value) {
    std::uint64_t bits = 0;
    if (CError* err = read64(bits))
        return traceError(err);
    std::memcpy(&value, &bits, sizeof value);
    return nullptr;
}

CError* CInputStream::readExtendedBE(double& value) {
    std::uint8_t b[10];
    if (CError* err = read(b, 10))
        return traceError(err);
    const int exponent = ((b[0] & 0x7F) << 8) | b[1];
    const std::uint32_t hi = std::uint32_t(b[2]) << 24 | std::uint32_t(b[3]) << 16 | std::uint32_t(b[4]) << 8 | b[5];
    const std::uint32_t lo = std::uint32_t(b[6]) << 24 | std::uint32_t(b[7]) << 16 | std::uint32_t(b[8]) << 8 | b[9];
    double v;
    if (exponent == 0 && hi == 0 && lo == 0)
        v = 0.0;
    else if (exponent == 0x7FFF)
        v = std::numeric_limits<double>::infinity();
    else
        v = std::ldexp(double(hi), exponent - 16414) + std::ldexp(double(lo), exponent - 16446);
    value = (b[0] & 0x80) ? -v : v;
    return nullptr;
}

CError* CInputStream::readString(CString& text) {
    text = CString::emptyString;
    std::int32_t count = 0;
    if (CError* err = read32(count))
        return traceError(err);
    if (count > kMaxStringBytes)
        return newError("@talstr_CInputStream_readString_StringDataTooLong String length %1 too long in readString().",
                        CString::emptyString, CString(count));
    if (count <= 0)
        return nullptr;
    CByteBuffer scratch(count);
    if (CError* err = read(scratch.data(), count))
        return traceError(err);
    text.setUTF8(reinterpret_cast<const char*>(scratch.data()), count);
    return nullptr;
}

CError* CInputStream::readText(std::int32_t count, CString& text) {
    text = CString::emptyString;
    if (count <= 0)
        return nullptr;
    CByteBuffer scratch(count);
    if (CError* err = read(scratch.data(), count))
        return traceError(err);
    const void* nul = std::memchr(scratch.data(), 0, std::size_t(count));
    const int n = nul ? int(static_cast<const std::uint8_t*>(nul) - scratch.data()) : count;
    text = CString(reinterpret_cast<const char*>(scratch.data()), n);
    return nullptr;
}

CError* CInputStream::readByteBuffer(CByteBuffer& buffer) {
    std::int32_t count = 0;
    if (CError* err = read32(count))
        return traceError(err);
    if (count < 0)
        return newError("@talstr_CInputStream_readByteBuffer_BadLength Invalid byte block length %1.",
                        CString::emptyString, CString(count));
    const std::int64_t remaining = getRemainingSize();
    if (remaining >= 0 && count > remaining)
        return newError("@talstr_CInputStream_readByteBuffer_BeyondEnd Byte block of %1 bytes exceeds the %2 bytes left.",
                        CString::emptyString, CString(count), CString(remaining));
    buffer.alloc(count);
    return read(buffer.data(), count);
}

CError* CInputStream::skipByteBuffer() {
    std::int32_t count = 0;
    if (CError* err = read32(count))
        return traceError(err);
    if (count < 0)
        return newError("@talstr_CInputStream_skipByteBuffer_BadLength Invalid byte block length %1.",
                        CString::emptyString, CString(count));
    return skip(count);
}

CError* CInputStream::readCompressedData(CByteBuffer& buffer, std::uint32_t expectedTag) {
    std::uint32_t tag = 0;
    if (CError* err = read32(tag))
        return traceError(err);
    if (tag != expectedTag)
        return newError("@talstr_CInputStream_readCompressedData_InvalidData Invalid ID encountered when reading "
                        "compressed data (expected %1, read %2).",
                        CString::emptyString, signedText(expectedTag), signedText(tag));
    std::uint8_t lengthBytes[4];
    if (CError* err = read(lengthBytes, 4))
        return traceError(err);
    std::uint32_t stored = 0;
    if (CError* err = read32(stored))
        return traceError(err);
    const std::uint32_t computed = adler32Of(lengthBytes, 4);
    if (computed != stored)
        return newError("@talstr_CInputStream_readCompressedData_HeadCRC Invalid CRC encountered when reading "
                        "compressed data (expected %1, read %2).",
                        CString::emptyString, signedText(stored), signedText(computed));
    const std::uint32_t rawLength = le32(lengthBytes);
    if (rawLength > std::uint32_t(std::numeric_limits<std::int32_t>::max()))
        return newError("@talstr_CInputStream_readCompressedData_TooLong Invalid data length %1 in compressed data.",
                        CString::emptyString, CString(std::int64_t(rawLength)));
    const std::int32_t raw = std::int32_t(rawLength);

    CInputZipStream zip;
    if (CError* err = zip.open(*this))
        return traceError(err);
    if (raw <= kDirectInflateBytes) {
        buffer.alloc(raw);
        if (CError* err = zip.read(buffer.data(), raw))
            return traceError(err);
    } else {
        buffer.alloc(kDirectInflateBytes);
        std::int32_t produced = 0;
        while (produced < raw) {
            if (produced == buffer.size())
                buffer.resize(std::int32_t(std::min<std::int64_t>(raw, std::int64_t(produced) * 2)));
            const std::int32_t n = buffer.size() - produced;
            if (CError* err = zip.read(buffer.data() + produced, n))
                return traceError(err);
            produced += n;
        }
    }
    if (CError* err = zip.finish())
        return traceError(err);
    if (CError* err = zip.close())
        return traceError(err);
    return nullptr;
}

CError* CInputStream::readCompressedDataDRIX(CByteBuffer& buffer, std::uint32_t expectedTag) {
    std::uint32_t tag = 0;
    if (CError* err = read32(tag))
        return traceError(err);
    if (tag != expectedTag)
        return newError("@talstr_CInputStream_readCompressedDataDRIX_InvalidData Invalid ID encountered when "
                        "reading compressed data (expected %1, read %2).",
                        CString::emptyString, signedText(expectedTag), signedText(tag));
    std::uint8_t lengthBytes[8];
    if (CError* err = read(lengthBytes, 8))
        return traceError(err);
    std::uint32_t stored = 0;
    if (CError* err = read32(stored))
        return traceError(err);
    const std::uint32_t computed = adler32Of(lengthBytes, 8);
    if (computed != stored)
        return newError("@talstr_CInputStream_readCompressedDataDRIX_HeadCRC Invalid CRC encountered when reading "
                        "compressed data (expected %1, read %2).",
                        CString::emptyString, signedText(stored), signedText(computed));
    const std::int64_t raw = le32(lengthBytes), packed = le32(lengthBytes + 4);
    const std::int64_t remaining = getRemainingSize();
    if (remaining >= 0 && packed > remaining)
        return newError("@talstr_CInputStream_readCompressedDataDRIX_Truncated Compressed data ends early (packed "
                        "%1 bytes, %2 bytes left).",
                        CString::emptyString, CString(packed), CString(remaining));
    if (raw > std::numeric_limits<std::int32_t>::max() || packed > std::numeric_limits<std::int32_t>::max())
        return newError("@talstr_CInputStream_readCompressedDataDRIX_BadLength Invalid lengths in compressed data "
                        "(raw %1 bytes, packed %2 bytes).",
                        CString::emptyString, CString(raw), CString(packed));

    const std::uint8_t* block = remaining >= 0 ? getDataPtr() : nullptr;   // decoded in place when there
    const bool inPlace = block != nullptr;
    CByteBuffer copy;
    if (!inPlace) {
        copy.alloc(std::int32_t(packed));
        if (CError* err = read(copy.data(), std::int32_t(packed)))
            return traceError(err);
        block = copy.data();
    }
    // A raw length beyond what the packed bytes can expand to cannot decode. The decoder then runs
    // on room for one byte more than the block can give, which ends with the same result as with
    // the claimed length, without reserving the memory a damaged length claims. Should it still
    // fill that room, the claimed length gets its real run.
    const std::int64_t most = packed * kDrixMaxExpansion + 64;
    std::int32_t result = -3;
    if (raw > most) {
        buffer.alloc(std::int32_t(most + 1));
        result = drixDecompress(block, buffer.data(), std::int32_t(packed), std::int32_t(most + 1));
    }
    if (raw <= most || result == -3) {
        buffer.alloc(std::int32_t(raw));
        result = drixDecompress(block, buffer.data(), std::int32_t(packed), std::int32_t(raw));
    }
    if (inPlace)
        if (CError* err = skip(std::int32_t(packed)))
            return traceError(err);
    if (result != raw)
        return newError("@talstr_CInputStream_readCompressedDataDRIX_InvalidData2 Invalid uncompressed data "
                        "(expected %1 bytes, read %2).",
                        CString::emptyString, CString(raw), CString(result));
    return nullptr;
}

} // namespace tal
