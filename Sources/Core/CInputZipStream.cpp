#include "Core/CInputZipStream.h"

#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/Log.h"

namespace tal {

CInputZipStream::CInputZipStream() : mBuffer(static_cast<std::uint8_t*>(poolAlloc(kBufferBytes))) {}

CInputZipStream::~CInputZipStream() {
    CError* err = close();
    reportError(&err);
    poolFree(mBuffer);
}

CError* CInputZipStream::refill() {
    std::int32_t count = kBufferBytes;
    if (CError* err = mSource->readUpTo(mBuffer, count))
        return traceError(err);
    mZ.next_in = mBuffer;
    mZ.avail_in = unsigned(count);
    return nullptr;
}

CError* CInputZipStream::open(CInputStream& source) {
    if (CError* err = close())
        return traceError(err);
    mSource = &source;
    mEnded = false;
    mZ.next_in = nullptr;
    mZ.avail_in = 0;
    if (CError* err = refill()) {
        mSource = nullptr;
        return traceError(err);
    }
    const int result = inflateInit(&mZ);
    if (result != Z_OK) {
        mSource = nullptr;
        return newError("@talstr_CInputZipStream_open_inflateInit zlib inflateInit error %1 (%2).",
                        CString::emptyString, CString(result), CString(zlibMessage()));
    }
    return nullptr;
}

CError* CInputZipStream::read(void* destination, std::int32_t count) {
    if (mSource == nullptr)
        return newError("@talstr_CInputZipStream_read_NoStream Input stream not specified.");
    if (count <= 0)
        return nullptr;
    mZ.next_out = static_cast<Bytef*>(destination);
    mZ.avail_out = unsigned(count);
    while (mZ.avail_out > 0) {
        // After the end of the zlib stream no further output can come, whatever input is left.
        if (mEnded)
            return newError("@talstr_CInputZipStream_read_EOF Premature end of file.");
        if (CError* err = inflateSome())
            return traceError(err);
    }
    return nullptr;
}

CError* CInputZipStream::inflateSome() {
    if (mZ.avail_in == 0) {
        if (CError* err = refill())
            return traceError(err);
        if (mZ.avail_in == 0)
            return newError("@talstr_CInputZipStream_read_EOF Premature end of file.");
    }
    const int result = inflate(&mZ, Z_SYNC_FLUSH);
    if (result == Z_STREAM_END)
        mEnded = true;
    else if (result != Z_OK)
        return newError("@talstr_CInputZipStream_read_inflate zlib inflate error %1 (%2).", CString::emptyString,
                        CString(result), CString(zlibMessage()));
    return nullptr;
}

CError* CInputZipStream::finish() {
    if (mSource == nullptr)
        return newError("@talstr_CInputZipStream_read_NoStream Input stream not specified.");
    std::uint8_t probe = 0;
    while (!mEnded) {
        mZ.next_out = &probe;
        mZ.avail_out = 1;
        if (CError* err = inflateSome())
            return traceError(err);
        // More output than was asked for: the stream is longer than the record says, which the
        // reader accepts (only the first bytes are used).
        if (mZ.avail_out == 0)
            return nullptr;
    }
    return nullptr;
}

CError* CInputZipStream::close() {
    if (mSource == nullptr)
        return nullptr;
    mSource = nullptr;
    const int result = inflateEnd(&mZ);
    if (result != Z_OK)
        return newError("@talstr_CInputZipStream_close_inflateEnd zlib inflateEnd error %1 (%2).",
                        CString::emptyString, CString(result), CString(zlibMessage()));
    return nullptr;
}

} // namespace tal
