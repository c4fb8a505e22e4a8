#include "Core/COutputZipStream.h"

#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/Log.h"

namespace tal {

COutputZipStream::COutputZipStream() : mBuffer(static_cast<std::uint8_t*>(poolAlloc(kBufferBytes))) {}

COutputZipStream::~COutputZipStream() {
    CError* err = close();
    reportError(&err);
    poolFree(mBuffer);
}

CError* COutputZipStream::open(COutputStream& target, int level) {
    if (CError* err = close())
        return traceError(err);
    const int result = deflateInit(&mZ, level);
    if (result != Z_OK)
        return newError("@talstr_COutputZipStream_open_deflateInit zlib deflateInit error %1 (%2).",
                        CString::emptyString, CString(result), CString(zlibMessage()));
    mTarget = &target;
    mZ.next_out = mBuffer;
    mZ.avail_out = kBufferBytes;
    return nullptr;
}

CError* COutputZipStream::write(const void* source, std::int32_t count) {
    if (mTarget == nullptr)
        return newError("@talstr_COutputZipStream_write_NoStream Output stream not specified.");
    if (count <= 0)
        return nullptr;
    mZ.next_in = static_cast<Bytef*>(const_cast<void*>(source));
    mZ.avail_in = unsigned(count);
    while (mZ.avail_in > 0) {
        const int result = deflate(&mZ, Z_NO_FLUSH);
        if (result != Z_OK)
            return newError("@talstr_COutputZipStream_write_deflate zlib deflate error %1 (%2).",
                            CString::emptyString, CString(result), CString(zlibMessage()));
        if (mZ.avail_out == 0) {
            if (CError* err = mTarget->write(mBuffer, kBufferBytes))
                return traceError(err);
            mZ.next_out = mBuffer;
            mZ.avail_out = kBufferBytes;
        }
    }
    return nullptr;
}

CError* COutputZipStream::close() {
    if (mTarget == nullptr)
        return nullptr;
    COutputStream* const target = mTarget;
    mTarget = nullptr;
    CError* failure = nullptr;
    for (;;) {
        const int result = deflate(&mZ, Z_FINISH);
        if (result == Z_OK) {
            if (mZ.avail_out == 0) {
                if (CError* err = target->write(mBuffer, kBufferBytes)) {
                    failure = traceError(err);
                    break;
                }
                mZ.next_out = mBuffer;
                mZ.avail_out = kBufferBytes;
            }
            continue;
        }
        if (result == Z_STREAM_END) {
            if (CError* err = target->write(mBuffer, std::int32_t(kBufferBytes - mZ.avail_out)))
                failure = traceError(err);
            break;
        }
        failure = newError("@talstr_COutputZipStream_close_deflate zlib deflate error %1 (%2).", CString::emptyString,
                           CString(result), CString(zlibMessage()));
        break;
    }
    // zlib's state is released on every path.
    const int ended = deflateEnd(&mZ);
    if (failure != nullptr)
        return failure;
    if (ended != Z_OK)
        return newError("@talstr_COutputZipStream_close_deflateEnd zlib deflateEnd error %1 (%2).",
                        CString::emptyString, CString(ended), CString(zlibMessage()));
    return nullptr;
}

} // namespace tal
