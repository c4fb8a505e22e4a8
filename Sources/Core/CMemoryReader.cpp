#include "Core/CMemoryReader.h"

#include "Core/CError.h"

#include <algorithm>
#include <cstring>

namespace tal {

CMemoryReader::CMemoryReader(const void* data, std::int32_t size) noexcept
    : mData(static_cast<const std::uint8_t*>(data)), mSize(std::max(size, 0)) {}

CError* CMemoryReader::skip(std::int32_t count) {
    if (count < 0 || count > mSize - mPosition)
        return newError("@talstr_CMemoryReader_skip_EOF Premature end of memory resource while skipping (pos %1, "
                        "count %2, size %3).",
                        CString::emptyString, CString(mPosition), CString(count), CString(mSize));
    mPosition += count;
    return nullptr;
}

CError* CMemoryReader::read(void* destination, std::int32_t count) {
    if (count < 0 || count > mSize - mPosition)
        return newError("@talstr_CMemoryReader_read_EOF Premature end of memory resource while reading (pos %1, "
                        "count %2, size %3).",
                        CString::emptyString, CString(mPosition), CString(count), CString(mSize));
    if (count > 0)
        std::memcpy(destination, mData + mPosition, std::size_t(count));
    mPosition += count;
    return nullptr;
}

CError* CMemoryReader::readUpTo(void* destination, std::int32_t& count) {
    count = std::clamp(count, 0, mSize - mPosition);
    if (count > 0)
        std::memcpy(destination, mData + mPosition, std::size_t(count));
    mPosition += count;
    return nullptr;
}

CError* CMemoryReader::getPosition(std::uint64_t& position) {
    position = std::uint64_t(mPosition);
    return nullptr;
}

CError* CMemoryReader::setPosition(std::uint64_t position) {
    if (position > std::uint64_t(mSize))
        return newError("@talstr_CMemoryReader_setPosition_seek Positioning beyond memory resource end (newpos %1, "
                        "size %2).",
                        CString::emptyString, CString(std::int64_t(position)), CString(mSize));
    mPosition = std::int32_t(position);
    return nullptr;
}

CError* CMemoryReader::getSize(std::uint64_t& size) {
    size = std::uint64_t(mSize);
    return nullptr;
}

} // namespace tal
