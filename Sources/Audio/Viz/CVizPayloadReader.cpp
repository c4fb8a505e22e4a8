#include "Audio/Viz/CVizPayloadReader.h"

#include "Core/CError.h"

namespace tal {

CError* CVizPayloadReader::checkCount(std::int32_t count) const {
    if (count > mLeft)
        return newError("@talstr_CVizPayloadReader_Short Frame payload too short: %1 bytes wanted, %2 left.",
                        CString::emptyString, CString(count), CString(mLeft));
    return nullptr;
}

CError* CVizPayloadReader::read(void* destination, std::int32_t count) {
    if (count <= 0)
        return nullptr;
    if (CError* err = checkCount(count))
        return err;
    if (CError* err = mSource.read(destination, count))
        return traceError(err);
    mLeft -= count;
    return nullptr;
}

CError* CVizPayloadReader::skip(std::int32_t count) {
    if (count <= 0)
        return nullptr;
    if (CError* err = checkCount(count))
        return err;
    if (CError* err = mSource.skip(count))
        return traceError(err);
    mLeft -= count;
    return nullptr;
}

CError* CVizPayloadReader::finish() { return traceError(skip(mLeft)); }

} // namespace tal
