#include "Core/CWriteSeqBuffer.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tal {

CWriteSeqBuffer::CWriteSeqBuffer() noexcept { mSegments.add(CSegment{mFirstBlock, 0}); }

CWriteSeqBuffer::~CWriteSeqBuffer() { freeBlocks(); }

void CWriteSeqBuffer::freeBlocks() noexcept {
    for (int i = 1; i < mSegments.count(); ++i)
        poolFree(mSegments[i].data);
}

void CWriteSeqBuffer::clear() noexcept {
    freeBlocks();
    mSegments.clear();
    mSegments.add(CSegment{mFirstBlock, 0});
    mBlockSize = mBlockFree = kFirstBlock;
    mCursor = mFirstBlock;
}

void CWriteSeqBuffer::startBlock(std::int32_t used, std::int32_t size) {
    mSegments.last().size = used;
    auto* block = static_cast<std::uint8_t*>(poolAlloc(std::uint64_t(size)));
    mSegments.add(CSegment{block, 0});
    mBlockSize = mBlockFree = size;
    mCursor = block;
}

CError* CWriteSeqBuffer::write(const void* source, std::int32_t count) {
    if (count <= 0)
        return nullptr;
    const auto* src = static_cast<const std::uint8_t*>(source);
    if (count <= mBlockFree) {
        std::memcpy(mCursor, src, std::size_t(count));
        mCursor += count;
        mBlockFree -= count;
        return nullptr;
    }
    const std::int32_t first = mBlockFree;
    std::memcpy(mCursor, src, std::size_t(first));
    const std::int32_t rest = count - first;
    startBlock(mBlockSize, std::max(nextBlockSize(), rest));
    std::memcpy(mCursor, src + first, std::size_t(rest));
    mCursor += rest;
    mBlockFree -= rest;
    return nullptr;
}

// Characters go straight into the blocks; a block is closed early (possibly one or more bytes
// short) when the widest form of a character might not fit.
template <class Char>
void CWriteSeqBuffer::writeText(const Char* text, bool addNul) {
    constexpr std::int32_t widest = sizeof(Char) == 1 ? 2 : 4;
    std::uint8_t* cursor = mCursor;
    std::uint8_t* end = mCursor + mBlockFree;
    for (const Char* p = text; *p != 0; ++p) {
        if (end - cursor < widest) {
            startBlock(std::int32_t(cursor - (end - mBlockSize)), nextBlockSize());
            cursor = mCursor;
            end = mCursor + mBlockFree;
        }
        const std::uint32_t c = sizeof(Char) == 1 ? std::uint32_t(static_cast<unsigned char>(*p)) : std::uint32_t(*p);
        cursor += encodeUtf8(c, cursor);
    }
    if (addNul) {
        if (cursor == end) {
            startBlock(mBlockSize, nextBlockSize());
            cursor = mCursor;
            end = mCursor + mBlockFree;
        }
        *cursor++ = 0;
    }
    mBlockFree = std::int32_t(end - cursor);
    mCursor = cursor;
}

CError* CWriteSeqBuffer::writeText8(const char* text, bool addNul) {
    writeText(text, addNul);
    return nullptr;
}

CError* CWriteSeqBuffer::writeText32(const char32_t* text, bool addNul) {
    writeText(text, addNul);
    return nullptr;
}

std::int32_t CWriteSeqBuffer::getSize() const noexcept {
    std::int32_t total = mBlockSize - mBlockFree;
    for (int i = 0; i + 1 < mSegments.count(); ++i)
        total += mSegments[i].size;
    return total;
}

void CWriteSeqBuffer::copyTo(void* destination) const noexcept {
    auto* out = static_cast<std::uint8_t*>(destination);
    const int last = mSegments.count() - 1;
    for (int i = 0; i < last; ++i) {
        std::memcpy(out, mSegments[i].data, std::size_t(mSegments[i].size));
        out += mSegments[i].size;
    }
    std::memcpy(out, mSegments[last].data, std::size_t(mBlockSize - mBlockFree));
}

void CWriteSeqBuffer::moveTo(CByteBuffer& buffer) {
    buffer.alloc(getSize());
    copyTo(buffer.data());
    clear();
}

CError* CWriteSeqBuffer::writeTo(COutputStream& target) const {
    const int last = mSegments.count() - 1;
    for (int i = 0; i < last; ++i)
        if (CError* err = target.write(mSegments[i].data, mSegments[i].size))
            return traceError(err);
    if (CError* err = target.write(mSegments[last].data, mBlockSize - mBlockFree))
        return traceError(err);
    return nullptr;
}

void CWriteSeqBuffer::printToStdout() const {
    const int last = mSegments.count() - 1;
    for (int i = 0; i < last; ++i)
        std::fwrite(mSegments[i].data, 1, std::size_t(mSegments[i].size), stdout);
    std::fwrite(mSegments[last].data, 1, std::size_t(mBlockSize - mBlockFree), stdout);
}

} // namespace tal
