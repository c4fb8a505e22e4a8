#include "Core/CFileWriter.h"

#include "Core/CError.h"
#include "Core/CSystem.h"
#include "Core/Log.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tal {

namespace {

// 0644 less the process's umask, read without changing it (umask() itself would have to set it).
mode_t newFileMode() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[128];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = mode_t(value);
                break;
            }
        }
        std::fclose(status);
    }
    return mode_t(0644 & ~mask);
}

} // namespace

CFileWriter::~CFileWriter() {
    CError* err = close();
    reportError(&err);
}

CError* CFileWriter::open(const CString& path, bool append) {
    if (CError* err = prepareOpen(path, true))
        return traceError(err);
    if (mPath.equals("*") || mPath.equals("*e")) {
        const bool out = mPath.equals("*");
        mFd = out ? 1 : 2;
        mPath = out ? "stdout" : "stderr";
        return nullptr;
    }
    const CByteBuffer target = systemPath();
    if (append) {
        mFd = ::open(reinterpret_cast<const char*>(target.data()), O_WRONLY | O_CREAT | O_APPEND, 0644);
    } else {
        // A name of its own beside the target, so that writers in other processes never share it.
        static constexpr char kSuffix[] = ".tmp-XXXXXX";
        mTempPath.alloc(target.size() + std::int32_t(sizeof kSuffix) - 1);
        std::memcpy(mTempPath.data(), target.data(), std::size_t(target.size() - 1));
        std::memcpy(mTempPath.data() + target.size() - 1, kSuffix, sizeof kSuffix);
        mDiscard = false;
        mFd = mkostemp(reinterpret_cast<char*>(mTempPath.data()), O_CLOEXEC);
        if (mFd >= 0)
            fchmod(mFd, newFileMode());   // mkostemp creates 0600; a saved file is 0644 less the umask
        else
            mTempPath.alloc(0);
    }
    if (mFd < 0)
        return newError("@talstr_CFileWriter_open_OpenError Unable to open file '%1' for %2 (error %3).",
                        CString::emptyString, mPath, CString(append ? "appending" : "rewriting"), CString(errno));
    return nullptr;
}

CError* CFileWriter::write(const void* source, std::int32_t count) {
    if (count <= 0)
        return nullptr;
    ssize_t n;
    do
        n = ::write(mFd, source, std::size_t(count));
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        mDiscard = true;
        return newError("@talstr_CFileWriter_write_WriteError Unable to write to file '%1' (error %2).",
                        CString::emptyString, mPath, CString(errno));
    }
    if (n < count) {
        mDiscard = true;
        return newError("@talstr_CFileWriter_write_WriteErrorCount Unable to write to file '%1' (required %2 bytes, "
                        "written %3 bytes).",
                        CString::emptyString, mPath, CString(count), CString(std::int64_t(n)));
    }
    return nullptr;
}

CError* CFileWriter::flush() {
    if (fsync(mFd) != 0)
        return newError("@talstr_CFileWriter_flush_FlushError Unable to flush data to file '%1' (error %2).",
                        CString::emptyString, mPath, CString(errno));
    return nullptr;
}

CError* CFileWriter::close() {
    if (mTempPath.isEmpty() || mFd < 0)
        return CFileBase::close();
    const CString path = mPath;
    const CByteBuffer temp = std::move(mTempPath);
    mTempPath.alloc(0);
    const char* tempName = reinterpret_cast<const char*>(temp.data());
    CError* failure = nullptr;
    if (!mDiscard && fsync(mFd) != 0) {
        failure = newError("@talstr_CFileWriter_flush_FlushError Unable to flush data to file '%1' (error %2).",
                           CString::emptyString, path, CString(errno));
    }
    if (CError* err = CFileBase::close()) {
        if (failure == nullptr)
            failure = traceError(err);
        else
            reportError(&err);
    }
    if (mDiscard || failure != nullptr) {
        std::remove(tempName);
        mDiscard = false;
        return failure;
    }
    const CByteBuffer target = CSystem::toSystemPath(path);
    if (std::rename(tempName, reinterpret_cast<const char*>(target.data())) != 0) {
        const int code = errno;
        std::remove(tempName);
        return newError("@talstr_CFileWriter_close_RenameError Unable to replace file '%1' (error %2).",
                        CString::emptyString, path, CString(code));
    }
    return nullptr;
}

} // namespace tal
