#pragma once
#include "Core/CPosInputStream.h"

#include <cstdint>

namespace tal {

// Reads a memory block that belongs to someone else: protocol messages, preset entries, state
// blobs and data sets are parsed through one built on the stack. Never allocates. Every read is
// checked against the block: a negative count, or one beyond the bytes left, fails and leaves the
// position where it was.
class CMemoryReader : public CPosInputStream {
public:
    // data: not owned, must outlive the reader; a negative size counts as 0.
    CMemoryReader(const void* data, std::int32_t size) noexcept;

    // --- stream operations ---
    std::int64_t getRemainingSize() override { return mSize - mPosition; }
    [[nodiscard]] CError* skip(std::int32_t count) override;
    [[nodiscard]] CError* read(void* destination, std::int32_t count) override;
    // Reads min(count, bytes left); never fails. A negative count reads nothing.
    [[nodiscard]] CError* readUpTo(void* destination, std::int32_t& count) override;
    [[nodiscard]] CError* getPosition(std::uint64_t& position) override;
    // Positions from 0 to the size (inclusive) are allowed.
    [[nodiscard]] CError* setPosition(std::uint64_t position) override;
    [[nodiscard]] CError* getSize(std::uint64_t& size) override;

    std::int32_t position() const noexcept { return mPosition; }
    std::int32_t size() const noexcept { return mSize; }

protected:
    const std::uint8_t* mData;
    std::int32_t mSize;
    std::int32_t mPosition = 0;
};

} // namespace tal
