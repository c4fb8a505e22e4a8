#pragma once
#include <cstdint>

namespace tal {

class CByteBuffer;
class CError;
class CString;

// The abstract input stream of the framework. Every serialised thing is read through it in the
// stream form: integers and doubles as little-endian images, strings as a 32-bit UTF-8 byte count
// and the bytes, byte blocks as a 32-bit length and the bytes, and compressed records.
// Streams are plain objects owned by whoever makes them, used by one thread at a time.
// Every fallible operation returns an error (null: success) that the caller owns.
class CInputStream {
public:
    virtual ~CInputStream() = default;

    // --- the stream operations ---
    // The unread bytes when the stream is a memory image that may be used in place (an embedded
    // resource), else null. The bytes are not consumed.
    virtual const std::uint8_t* getDataPtr();
    // Bytes left to read when the stream knows them, else -1.
    virtual std::int64_t getRemainingSize();
    // Advances past count bytes; nothing for count < 1.
    [[nodiscard]] virtual CError* skip(std::int32_t count);
    // Copies exactly count bytes into destination, or fails. count <= 0 reads nothing.
    [[nodiscard]] virtual CError* read(void* destination, std::int32_t count) = 0;
    // Reads at most count bytes and stores the number read in count.
    [[nodiscard]] virtual CError* readUpTo(void* destination, std::int32_t& count);

    // --- values in stream form ---
    [[nodiscard]] CError* read8(std::uint8_t& value);
    [[nodiscard]] CError* read16(std::uint16_t& value);
    [[nodiscard]] CError* read16BE(std::uint16_t& value);
    [[nodiscard]] CError* read32(std::uint32_t& value);
    [[nodiscard]] CError* read32(std::int32_t& value);
    [[nodiscard]] CError* read32BE(std::uint32_t& value);
    [[nodiscard]] CError* read64(std::uint64_t& value);
    [[nodiscard]] CError* read64(std::int64_t& value);
    [[nodiscard]] CError* readDouble(double& value);
    // A double from a big-endian 80-bit IEEE 754 extended value (AIFF sample rates).
    [[nodiscard]] CError* readExtendedBE(double& value);
    // A string: the 32-bit UTF-8 byte count N, then N bytes. N above 61440 fails (the stream then
    // stands after the count); N of 0 or with its top bit set gives the empty string. The text
    // stays 8-bit while every character is below 256 and ends at its first NUL character.
    [[nodiscard]] CError* readString(CString& text);
    // count bytes into an 8-bit string, cut at its first NUL byte.
    [[nodiscard]] CError* readText(std::int32_t count, CString& text);
    // A byte block: 32-bit length N, then N bytes. A negative N, or N beyond the bytes the stream
    // has left, fails before anything is allocated, and the buffer is left as it was.
    [[nodiscard]] CError* readByteBuffer(CByteBuffer& buffer);
    [[nodiscard]] CError* skipByteBuffer();

    // --- compressed records ---
    // Reads one zlib record whose tag must be expectedTag; on success buffer holds exactly the raw
    // length. The reader reads ahead, so the record is the last thing read from this stream.
    // On failure buffer holds undefined bytes and is to be discarded.
    [[nodiscard]] CError* readCompressedData(CByteBuffer& buffer, std::uint32_t expectedTag);
    // Reads one DRIX record (tag, raw and packed lengths, header checksum, block); consumes exactly
    // the record. Embedded resources are decoded in place.
    [[nodiscard]] CError* readCompressedDataDRIX(CByteBuffer& buffer, std::uint32_t expectedTag);
};

} // namespace tal
