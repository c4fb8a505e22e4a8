#pragma once
#include "Core/CArray.h"
#include "Core/COutputStream.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CByteBuffer;

// The in-memory output stream: collects written bytes in a chain of blocks, so that appending never
// moves what was written before. The first 1024 bytes live inside the object (a buffer on the stack
// that receives less allocates nothing), the next five blocks hold 2048 bytes, later ones 32768;
// one large write gets a block of its own size. Usually a local variable for one serialisation;
// one thread at a time. Appending never fails.
class CWriteSeqBuffer : public CPoolAllocated, public COutputStream {
public:
    CWriteSeqBuffer() noexcept;
    CWriteSeqBuffer(const CWriteSeqBuffer&) = delete;
    CWriteSeqBuffer& operator=(const CWriteSeqBuffer&) = delete;
    ~CWriteSeqBuffer() override;

    // --- writing (never fails: the result is always null) ---
    [[nodiscard]] CError* write(const void* source, std::int32_t count) override;
    [[nodiscard]] CError* writeText8(const char* text, bool addNul) override;
    [[nodiscard]] CError* writeText32(const char32_t* text, bool addNul) override;

    // --- taking the bytes out ---
    std::int32_t getSize() const noexcept;
    // Frees every block but the inline one and starts over.
    void clear() noexcept;
    // Moves all bytes into buffer (exactly getSize bytes, inline up to 64) and leaves this empty.
    void moveTo(CByteBuffer& buffer);
    // Writes the bytes to target, one write per block (the last call also for 0 bytes); stops at
    // the first error. This buffer is not changed.
    [[nodiscard]] CError* writeTo(COutputStream& target) const;
    // Copies all bytes to destination, which has room for getSize bytes.
    void copyTo(void* destination) const noexcept;
    void printToStdout() const;

    // --- inspection ---
    int segmentCount() const noexcept { return mSegments.count(); }
    std::int32_t blockFree() const noexcept { return mBlockFree; }

private:
    struct CSegment {
        std::uint8_t* data;
        std::int32_t size;   // bytes used; the last segment's is blockSize - blockFree
    };

    static constexpr std::int32_t kFirstBlock = 1024;
    static constexpr std::int32_t kSmallBlock = 2048;
    static constexpr std::int32_t kLargeBlock = 32768;
    static constexpr int kSmallBlockSegments = 6;   // segments before the first 32768-byte block

    // Closes the current block with `used` bytes and starts a new one of at least `need` bytes.
    void startBlock(std::int32_t used, std::int32_t size);
    std::int32_t nextBlockSize() const noexcept {
        return mSegments.count() < kSmallBlockSegments ? kSmallBlock : kLargeBlock;
    }
    template <class Char>
    void writeText(const Char* text, bool addNul);
    void freeBlocks() noexcept;

    std::int32_t mBlockSize = kFirstBlock;
    std::int32_t mBlockFree = kFirstBlock;
    std::uint8_t* mCursor = mFirstBlock;
    CArray<CSegment> mSegments;
    std::uint8_t mFirstBlock[kFirstBlock];
};

} // namespace tal
