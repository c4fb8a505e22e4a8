#include "Core/CFileReader.h"

#include "Core/CError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tal {

CError* CFileReader::open(const CString& path, bool writable) {
    if (CError* err = prepareOpen(path, writable))
        return traceError(err);
    if (mPath.equals("*")) {
        mFd = 0;
        mPath = "stdin";
        return nullptr;
    }
    mFd = ::open(reinterpret_cast<const char*>(systemPath().data()), writable ? (O_RDWR | O_CREAT) : O_RDONLY, 0644);
    if (mFd < 0)
        return newError("@talstr_CFileReader_open_OpenError Unable to open file '%1' for reading (error %2).",
                        CString::emptyString, mPath, CString(errno));
    return nullptr;
}

std::int64_t CFileReader::getRemainingSize() {
    struct stat st {};
    if (mFd < 0 || fstat(mFd, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    const off_t at = lseek(mFd, 0, SEEK_CUR);
    return at < 0 ? -1 : (st.st_size > at ? std::int64_t(st.st_size - at) : 0);
}

CError* CFileReader::skip(std::int32_t count) {
    if (lseek(mFd, count, SEEK_CUR) < 0)
        return newError("@talstr_CFileReader_skip_PosError Unable to increment file's '%1' position by %2 (error %3).",
                        CString::emptyString, mPath, CString(count), CString(errno));
    return nullptr;
}

CError* CFileReader::read(void* destination, std::int32_t count) {
    if (count <= 0)
        return nullptr;
    ssize_t n;
    do
        n = ::read(mFd, destination, std::size_t(count));
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return newError("@talstr_CFileReader_read_ReadError Error reading from file '%1', required %2 bytes (error %3).",
                        CString::emptyString, mPath, CString(count), CString(errno));
    if (n < count)
        return newError("@talstr_CFileReader_read_ReadBeyondEnd Unable to read from file '%1' (required %2 bytes, "
                        "read %3 bytes).",
                        CString::emptyString, mPath, CString(count), CString(std::int64_t(n)));
    return nullptr;
}

CError* CFileReader::readUpTo(void* destination, std::int32_t& count) {
    if (count <= 0)
        return nullptr;
    ssize_t n;
    do
        n = ::read(mFd, destination, std::size_t(count));
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return newError("@talstr_CFileReader_read_ReadError Error reading from file '%1', required %2 bytes (error %3).",
                        CString::emptyString, mPath, CString(count), CString(errno));
    count = std::int32_t(n);
    return nullptr;
}

} // namespace tal
