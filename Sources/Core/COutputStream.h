#pragma once
#include <cstdint>

namespace tal {

class CByteBuffer;
class CError;
class CString;

// The abstract output stream of the framework, writing the stream form that CInputStream reads.
// Plain objects owned by whoever makes them, used by one thread at a time. Every fallible operation
// returns an error (null: success) that the caller owns.
class COutputStream {
public:
    virtual ~COutputStream() = default;

    // --- the stream operations ---
    // Writes count bytes or fails; count <= 0 writes nothing.
    [[nodiscard]] virtual CError* write(const void* source, std::int32_t count) = 0;
    // Writes a NUL-terminated text of 8-bit (Latin-1) characters as UTF-8; with addNul one 0 byte
    // follows.
    [[nodiscard]] virtual CError* writeText8(const char* text, bool addNul);
    // The same for 32-bit code points; surrogates and values above U+10FFFF are dropped.
    [[nodiscard]] virtual CError* writeText32(const char32_t* text, bool addNul);

    // --- values in stream form ---
    [[nodiscard]] CError* write8(std::uint8_t value);
    [[nodiscard]] CError* write16(std::uint16_t value);
    [[nodiscard]] CError* write32(std::uint32_t value);
    [[nodiscard]] CError* write64(std::uint64_t value);
    [[nodiscard]] CError* writeDouble(double value);
    // The 32-bit UTF-8 byte count, then the UTF-8 bytes; the text ends at its first NUL character.
    [[nodiscard]] CError* writeString(const CString& text);
    // The 32-bit size, then the bytes.
    [[nodiscard]] CError* writeByteBuffer(const CByteBuffer& buffer);

    // --- compressed records ---
    // One zlib record: tag, raw length, Adler-32 of the 4 length bytes, the zlib stream (level 5).
    [[nodiscard]] CError* writeCompressedData(const CByteBuffer& buffer, std::uint32_t tag);
    // One DRIX record: tag, raw length, packed length, Adler-32 of the 8 length bytes, the block.
    // Fails before writing anything when the encoder cannot get its memory.
    [[nodiscard]] CError* writeCompressedDataDRIX(const CByteBuffer& buffer, std::uint32_t tag);
};

} // namespace tal
