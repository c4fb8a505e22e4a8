#include "Core/COutputStream.h"

#include "Core/CByteBuffer.h"
#include "Core/COutputZipStream.h"
#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/Drix.h"
#include "Core/Utf8.h"

#include <zlib.h>

#include <cstring>
#include <limits>

namespace tal {

namespace {

constexpr int kStagingBytes = 512;
constexpr int kRecordLevel = 5;

inline void putLe32(std::uint8_t* p, std::uint32_t v) noexcept {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// Encodes a NUL-terminated text through a 512-byte staging buffer. A character is staged only when
// the widest form a character of this text can take still fits (2 bytes for 8-bit text, 4 for
// 32-bit text); otherwise the buffer is written out first.
template <class Char>
CError* writeStaged(COutputStream& out, const Char* text, bool addNul) {
    constexpr int widest = sizeof(Char) == 1 ? 2 : 4;
    std::uint8_t staging[kStagingBytes];
    int used = 0;
    for (const Char* p = text; *p != 0; ++p) {
        const std::uint32_t c = sizeof(Char) == 1 ? std::uint32_t(static_cast<unsigned char>(*p)) : std::uint32_t(*p);
        if (used > kStagingBytes - (c < 0x80 ? 1 : widest)) {
            if (CError* err = out.write(staging, used))
                return traceError(err);
            used = 0;
        }
        used += encodeUtf8(c, staging + used);
    }
    if (addNul) {
        if (used == kStagingBytes) {
            if (CError* err = out.write(staging, used))
                return traceError(err);
            used = 0;
        }
        staging[used++] = 0;
    }
    return used > 0 ? out.write(staging, used) : nullptr;
}

} // namespace

CError* COutputStream::writeText8(const char* text, bool addNul) { return writeStaged(*this, text, addNul); }

CError* COutputStream::writeText32(const char32_t* text, bool addNul) { return writeStaged(*this, text, addNul); }

CError* COutputStream::write8(std::uint8_t value) {
    if (CError* err = write(&value, 1))
        return traceError(err);
    return nullptr;
}

CError* COutputStream::write16(std::uint16_t value) {
    const std::uint8_t b[2] = {std::uint8_t(value), std::uint8_t(value >> 8)};
    if (CError* err = write(b, 2))
        return traceError(err);
    return nullptr;
}

CError* COutputStream::write32(std::uint32_t value) {
    std::uint8_t b[4];
    putLe32(b, value);
    if (CError* err = write(b, 4))
        return traceError(err);
    return nullptr;
}

CError* COutputStream::write64(std::uint64_t value) {
    std::uint8_t b[8];
    putLe32(b, std::uint32_t(value));
    putLe32(b + 4, std::uint32_t(value >> 32));
    if (CError* err = write(b, 8))
        return traceError(err);
    return nullptr;
}

CError* COutputStream::writeDouble(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (CError* err = write64(bits))
        return traceError(err);
    return nullptr;
}

CError* COutputStream::writeString(const CString& text) {
    const std::int64_t count = text.isWide() ? utf8Length(text.chars32()) : utf8Length(text.chars8());
    if (CError* err = write32(std::uint32_t(count)))
        return traceError(err);
    CError* err = text.isWide() ? writeText32(text.chars32(), false) : writeText8(text.chars8(), false);
    return err ? traceError(err) : nullptr;
}

CError* COutputStream::writeByteBuffer(const CByteBuffer& buffer) {
    if (CError* err = write32(std::uint32_t(buffer.size())))
        return traceError(err);
    if (CError* err = write(buffer.data(), buffer.size()))
        return traceError(err);
    return nullptr;
}

CError* COutputStream::writeCompressedData(const CByteBuffer& buffer, std::uint32_t tag) {
    if (CError* err = write32(tag))
        return traceError(err);
    std::uint8_t lengthBytes[4];
    putLe32(lengthBytes, std::uint32_t(buffer.size()));
    if (CError* err = write(lengthBytes, 4))
        return traceError(err);
    if (CError* err = write32(std::uint32_t(adler32(1, lengthBytes, 4))))
        return traceError(err);
    COutputZipStream zip;
    if (CError* err = zip.open(*this, kRecordLevel))
        return traceError(err);
    if (CError* err = zip.write(buffer.data(), buffer.size()))
        return traceError(err);
    if (CError* err = zip.close())
        return traceError(err);
    return nullptr;
}

CError* COutputStream::writeCompressedDataDRIX(const CByteBuffer& buffer, std::uint32_t tag) {
    const std::int32_t n = buffer.size();
    CByteBuffer block(drixCompressBound(n));
    const std::int32_t packed = n > 0 ? drixCompress(buffer.data(), block.data(), n, block.size()) : 0;
    if (n > 0 && packed == 0)
        return newError("@talstr_COutputStream_writeCompressedDataDRIX_NoMemory Unable to compress %1 bytes: out of "
                        "memory.",
                        CString::emptyString, CString(n));
    if (CError* err = write32(tag))
        return traceError(err);
    std::uint8_t lengthBytes[8];
    putLe32(lengthBytes, std::uint32_t(n));
    putLe32(lengthBytes + 4, std::uint32_t(packed));
    if (CError* err = write(lengthBytes, 8))
        return traceError(err);
    if (CError* err = write32(std::uint32_t(adler32(1, lengthBytes, 8))))
        return traceError(err);
    if (CError* err = write(block.data(), packed))
        return traceError(err);
    return nullptr;
}

} // namespace tal
