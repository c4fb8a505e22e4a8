#include "Core/CXMLStringTable.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/CMemPool.h"

#include <cstring>

namespace tal {

namespace {

std::uint32_t load32(const std::uint8_t* p) noexcept {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

} // namespace

CXMLStringTable::~CXMLStringTable() { freeOwned(); }

void CXMLStringTable::release() noexcept {
    if (--mRefCount <= 0)
        delete this;
}

void CXMLStringTable::freeOwned() noexcept {
    if (mOwned != nullptr)
        poolFree(mOwned);
    mOwned = nullptr;
}

CError* CXMLStringTable::readImage(const std::uint8_t* image, std::int32_t size, std::int32_t& nodesOffset) {
    if (image == nullptr || size < 8)
        return newError("@talstr_CXMLStringTable_read_Truncated The description is too short for its header.");
    const std::uint32_t count = load32(image), areaSize = load32(image + 4);
    if (std::uint64_t(areaSize) > std::uint64_t(size) - 8)
        return newError("@talstr_CXMLStringTable_read_AreaSize The string area of the description (%1 bytes) runs "
                        "past its end.",
                        CString::emptyString, CString(std::int64_t(areaSize)));
    freeOwned();
    mBorrowed = true;
    if (CError* err = decode(image + 8, count, areaSize))
        return traceError(err);
    nodesOffset = std::int32_t(8 + areaSize);
    return nullptr;
}

CError* CXMLStringTable::read(CInputStream& stream) {
    std::uint32_t count = 0, areaSize = 0;
    if (CError* err = stream.read32(count))
        return traceError(err);
    if (CError* err = stream.read32(areaSize))
        return traceError(err);
    const std::int64_t left = stream.getRemainingSize();
    if (areaSize > 0x7FFFFFFFu || (left >= 0 && std::int64_t(areaSize) > left))
        return newError("@talstr_CXMLStringTable_read_AreaSize The string area of the description (%1 bytes) runs "
                        "past its end.",
                        CString::emptyString, CString(std::int64_t(areaSize)));
    freeOwned();
    mBorrowed = false;
    mOwned = static_cast<std::uint8_t*>(poolAlloc(areaSize));
    if (CError* err = stream.read(mOwned, std::int32_t(areaSize)))
        return traceError(err);
    if (CError* err = decode(mOwned, count, areaSize))
        return traceError(err);
    return nullptr;
}

CError* CXMLStringTable::decode(const std::uint8_t* data, std::uint32_t count, std::uint32_t areaSize) {
    mData = data;
    mCount = 0;
    mStrings.clear();
    if (std::uint64_t(count) * 4 > areaSize)
        return newError("@talstr_CXMLStringTable_read_Count The description's %1 string offsets do not fit its "
                        "string area.",
                        CString::emptyString, CString(std::int64_t(count)));
    const std::uint32_t first = count * 4;   // the string bytes follow the offset table
    mStrings.resize(int(count));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t offset = load32(data + 4 * std::uint64_t(i));
        // A negative offset reads as a large unsigned one and fails the same test.
        if (offset < first || offset >= areaSize)
            return newError("@talstr_CXMLStringTable_read_Offset String %1 of the description lies outside its "
                            "string area.",
                            CString::emptyString, CString(std::int64_t(i)));
        const void* end = std::memchr(data + offset, 0, areaSize - offset);
        if (end == nullptr)
            return newError("@talstr_CXMLStringTable_read_Unterminated String %1 of the description has no end "
                            "within its string area.",
                            CString::emptyString, CString(std::int64_t(i)));
        const char* text = reinterpret_cast<const char*>(data + offset);
        mStrings[int(i)].setUTF8(text, int(static_cast<const char*>(end) - text));
    }
    mCount = std::int32_t(count);
    return nullptr;
}

} // namespace tal
