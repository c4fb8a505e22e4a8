#pragma once
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"
#include "Core/CStringList.h"

#include <cstdint>

namespace tal {

class CError;
class CInputStream;

// The decoded string table of one compiled description: N strings addressed by index. Shared by
// reference count between the load (one reference) and every template body taken from the
// description (one each); the last release deletes it. The offset table either points into a
// memory image that outlives the table (borrowed) or into bytes the table owns.
// Every offset is checked against the string area and every string must end with a NUL inside it,
// so malformed data gives an error, never a read outside the description.
// One thread at a time: the count is a plain integer (template placeholders are made and destroyed
// by the thread that owns their tree). The strings are only read after decoding.
class CXMLStringTable : public CPoolAllocated {
public:
    CXMLStringTable() = default;
    CXMLStringTable(const CXMLStringTable&) = delete;
    CXMLStringTable& operator=(const CXMLStringTable&) = delete;

    // --- loading ---
    // Decodes the table at the start of a memory image of size bytes, borrowing its bytes. On
    // success nodesOffset is the offset of the node stream (8 + S, the root tag index).
    [[nodiscard]] CError* readImage(const std::uint8_t* image, std::int32_t size, std::int32_t& nodesOffset);
    // Reads the count, the area size and the area from a stream into owned bytes, then decodes.
    // An area larger than the bytes the stream has left fails before anything is allocated.
    [[nodiscard]] CError* read(CInputStream& stream);

    // --- sharing ---
    void retain() noexcept { ++mRefCount; }
    // Drops one reference; the last one deletes the table.
    void release() noexcept;

    // --- queries ---
    std::int32_t count() const noexcept { return mCount; }
    bool isBorrowed() const noexcept { return mBorrowed; }
    // String i, or null when i is not below the count.
    const CString* string(std::uint32_t i) const noexcept {
        return i < std::uint32_t(mCount) ? &mStrings[int(i)] : nullptr;
    }

private:
    ~CXMLStringTable();
    // Decodes the count strings of the area that starts at data (the offset table) and holds
    // areaSize bytes.
    [[nodiscard]] CError* decode(const std::uint8_t* data, std::uint32_t count, std::uint32_t areaSize);
    void freeOwned() noexcept;

    std::int32_t mRefCount = 1;
    std::int32_t mCount = 0;
    const std::uint8_t* mData = nullptr;
    bool mBorrowed = false;
    std::uint8_t* mOwned = nullptr;   // from the size-class allocator when not borrowed
    CStringList mStrings;
};

} // namespace tal
