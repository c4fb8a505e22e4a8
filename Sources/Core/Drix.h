#pragma once
#include <cstddef>
#include <cstdint>

// DRIX: the framework's LZ-family block compressor for large payloads (image sets, fonts).
// A block starts with one byte: the format number in the high four bits and the minimum reference
// length in the low four. The encoder writes format 2; the decoder reads formats 1 and 2.
// Stateless free functions, callable from any thread; each call works only on its own memory.
namespace tal {

// Decoder results below 0.
enum : std::int32_t {
    kDrixBadArguments = -1,     // negative packed length, no output, raw length not positive, aliasing
    kDrixBlockTooShort = -2,    // block too short, or a literal run past the end of the block
    kDrixOutputOverrun = -3,    // the output would grow past the raw length
    kDrixBadDistance = -4,      // a reference before the start of the output, too close, or overlapping
    kDrixLengthMismatch = -5,   // the items ended with an output size other than the raw length
    kDrixUnknownFormat = -6,    // a format number other than 1 and 2
};

// Bytes of output area that drixCompress needs for n input bytes (16 for n <= 0).
std::int32_t drixCompressBound(std::int32_t n) noexcept;

// Compresses n bytes of src into dst (capacity bytes) as one format-2 block.
// Result: the block length; 0 when n <= 0, when capacity < drixCompressBound(n), or when the
// encoder's hash table (at most 8 MiB) cannot be allocated. src and dst must not overlap.
std::int32_t drixCompress(const std::uint8_t* src, std::uint8_t* dst, std::int32_t n, std::int32_t capacity) noexcept;

// Decodes one block of packedLength bytes into out, which holds rawLength bytes.
// Result: rawLength on success, else one of the negative codes above. Never reads outside
// [block, block + packedLength) nor writes outside [out, out + rawLength).
// A packed length of 0 with a raw length of 0 decodes to 0 bytes.
std::int32_t drixDecompress(const std::uint8_t* block, std::uint8_t* out, std::int32_t packedLength,
                            std::int32_t rawLength) noexcept;
std::int32_t drixDecompress1(const std::uint8_t* block, std::uint8_t* out, std::int32_t packedLength,
                             std::int32_t rawLength) noexcept;
std::int32_t drixDecompress2(const std::uint8_t* block, std::uint8_t* out, std::int32_t packedLength,
                             std::int32_t rawLength) noexcept;

// Test hook: replaces the allocator of the encoder's hash table (null restores malloc/free), so
// that tests can make the allocation fail.
using DrixTableAlloc = void* (*)(std::size_t bytes);
using DrixTableFree = void (*)(void* block);
void setDrixTableAllocatorForTest(DrixTableAlloc alloc, DrixTableFree release) noexcept;

} // namespace tal
