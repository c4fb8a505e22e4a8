#include "Core/CPosStream.h"

#include "Core/CError.h"

namespace tal {

CError* CPosStream::getPositionInt(std::int32_t& value) {
    std::uint64_t position = 0;
    if (CError* err = getPosition(position))
        return traceError(err);
    if (position >= 0x80000000u)
        return newError("@talstr_CPosStream_getPositionInt_Greater2GB The size of the stream is above allowed 2 GB.");
    value = std::int32_t(position);
    return nullptr;
}

CError* CPosStream::getSizeInt(std::int32_t& value) {
    std::uint64_t size = 0;
    if (CError* err = getSize(size))
        return traceError(err);
    if (size >= 0x80000000u)
        return newError("@talstr_CPosStream_getSizeInt_Greater2GB The size of the stream is above allowed 2 GB.");
    value = std::int32_t(size);
    return nullptr;
}

} // namespace tal
