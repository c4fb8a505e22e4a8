#pragma once
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CString;

// The framework's owned byte block: record payloads, serialised messages, preset entries and
// application-data items. Up to 64 bytes live inside the object; larger blocks come from the
// size-class allocator (large blocks above 4080 bytes). One owner at a time, no lock of its own.
class CByteBuffer : public CPoolAllocated {
public:
    static constexpr std::int32_t kInlineBytes = 64;

    // --- life cycle ---
    CByteBuffer() noexcept : mData(mInline) {}
    explicit CByteBuffer(std::int32_t size);              // storage for size bytes, contents undefined
    CByteBuffer(const void* bytes, std::int32_t count);   // a copy of count bytes
    CByteBuffer(const CByteBuffer& other);
    CByteBuffer(CByteBuffer&& other) noexcept;            // takes other's heap block; other becomes empty
    CByteBuffer& operator=(const CByteBuffer& other);
    CByteBuffer& operator=(CByteBuffer&& other) noexcept;
    ~CByteBuffer();

    // --- queries ---
    std::int32_t size() const noexcept { return mSize; }
    bool isEmpty() const noexcept { return mSize == 0; }
    bool isInline() const noexcept { return mData == mInline; }
    std::uint8_t* data() noexcept { return mData; }
    const std::uint8_t* data() const noexcept { return mData; }

    // --- operations ---
    // Frees the old storage and takes fresh storage for size bytes (inline up to 64); the contents
    // are undefined. A negative size counts as 0.
    void alloc(std::int32_t size);
    // Sets the size, keeping the first min(old, new) bytes; bytes beyond them are undefined.
    void resize(std::int32_t size);
    // Replaces the contents by a copy of count bytes.
    void assign(const void* bytes, std::int32_t count);
    void swap(CByteBuffer& other) noexcept;
    // Replaces the contents by the UTF-8 form of text followed by a NUL byte (the size counts it).
    // Characters of an 8-bit string are the code points U+0000 to U+00FF; surrogates and values
    // above U+10FFFF are dropped; the first 0 character ends the text.
    void initUTF8(const CString& text);

private:
    void releaseHeap() noexcept;

    std::int32_t mSize = 0;
    std::uint8_t* mData;
    alignas(16) std::uint8_t mInline[kInlineBytes];
};

bool operator==(const CByteBuffer& a, const CByteBuffer& b) noexcept;

} // namespace tal
