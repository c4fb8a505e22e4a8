#include "Core/CByteBuffer.h"

#include "Core/CMemPool.h"
#include "Core/CString.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tal {

CByteBuffer::CByteBuffer(std::int32_t size) : mData(mInline) { alloc(size); }

CByteBuffer::CByteBuffer(const void* bytes, std::int32_t count) : mData(mInline) { assign(bytes, count); }

CByteBuffer::CByteBuffer(const CByteBuffer& other) : mData(mInline) { assign(other.mData, other.mSize); }

CByteBuffer::CByteBuffer(CByteBuffer&& other) noexcept : mData(mInline) { swap(other); }

CByteBuffer& CByteBuffer::operator=(const CByteBuffer& other) {
    if (this != &other)
        assign(other.mData, other.mSize);
    return *this;
}

CByteBuffer& CByteBuffer::operator=(CByteBuffer&& other) noexcept {
    if (this != &other) {
        CByteBuffer taken(std::move(other));
        swap(taken);
    }
    return *this;
}

CByteBuffer::~CByteBuffer() { releaseHeap(); }

void CByteBuffer::releaseHeap() noexcept {
    if (mData != mInline)
        poolFree(mData);
    mData = mInline;
}

void CByteBuffer::alloc(std::int32_t size) {
    releaseHeap();
    mSize = std::max(size, 0);
    if (mSize > kInlineBytes)
        mData = static_cast<std::uint8_t*>(poolAlloc(std::uint64_t(mSize)));
}

void CByteBuffer::resize(std::int32_t size) {
    size = std::max(size, 0);
    if (size <= kInlineBytes) {
        if (mData != mInline) {
            std::memcpy(mInline, mData, std::size_t(size));
            releaseHeap();
        }
    } else if (mData == mInline) {
        auto* block = static_cast<std::uint8_t*>(poolAlloc(std::uint64_t(size)));
        std::memcpy(block, mInline, std::size_t(mSize));
        mData = block;
    } else {
        mData = static_cast<std::uint8_t*>(poolRealloc(mData, std::uint64_t(size)));
    }
    mSize = size;
}

void CByteBuffer::assign(const void* bytes, std::int32_t count) {
    alloc(count);
    if (mSize > 0)
        std::memcpy(mData, bytes, std::size_t(mSize));
}

void CByteBuffer::swap(CByteBuffer& other) noexcept {
    if (this == &other)
        return;
    std::uint8_t tmp[kInlineBytes];
    const bool mineInline = isInline(), theirsInline = other.isInline();
    if (mineInline)
        std::memcpy(tmp, mInline, std::size_t(mSize));
    if (theirsInline)
        std::memcpy(mInline, other.mInline, std::size_t(other.mSize));
    if (mineInline)
        std::memcpy(other.mInline, tmp, std::size_t(mSize));
    std::uint8_t* const mine = mData;
    mData = theirsInline ? mInline : other.mData;
    other.mData = mineInline ? other.mInline : mine;
    std::swap(mSize, other.mSize);
}

bool operator==(const CByteBuffer& a, const CByteBuffer& b) noexcept {
    return a.size() == b.size() && (a.size() == 0 || std::memcmp(a.data(), b.data(), std::size_t(a.size())) == 0);
}

namespace {

// The UTF-8 bytes of one code point (0 for a dropped one), written to out when it is not null.
int utf8Bytes(std::uint32_t c, std::uint8_t* out) {
    if (c < 0x80) {
        if (out) out[0] = std::uint8_t(c);
        return 1;
    }
    if (c < 0x800) {
        if (out) {
            out[0] = std::uint8_t(0xC0 | (c >> 6));
            out[1] = std::uint8_t(0x80 | (c & 0x3F));
        }
        return 2;
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
    if (c < 0x10000) {
        if (out) {
            out[0] = std::uint8_t(0xE0 | (c >> 12));
            out[1] = std::uint8_t(0x80 | ((c >> 6) & 0x3F));
            out[2] = std::uint8_t(0x80 | (c & 0x3F));
        }
        return 3;
    }
    if (out) {
        out[0] = std::uint8_t(0xF0 | (c >> 18));
        out[1] = std::uint8_t(0x80 | ((c >> 12) & 0x3F));
        out[2] = std::uint8_t(0x80 | ((c >> 6) & 0x3F));
        out[3] = std::uint8_t(0x80 | (c & 0x3F));
    }
    return 4;
}

} // namespace

void CByteBuffer::initUTF8(const CString& text) {
    // Measured first, so that the block is taken once at its final size.
    std::int32_t bytes = 1;
    int end = 0;
    for (; end < text.length() && text.charAt(end) != 0; ++end) bytes += utf8Bytes(text.charAt(end), nullptr);
    alloc(bytes);
    std::uint8_t* out = mData;
    for (int i = 0; i < end; ++i) out += utf8Bytes(text.charAt(i), out);
    *out = 0;
}

} // namespace tal
