#include "Core/CFileBase.h"

#include "Core/CError.h"
#include "Core/CSystem.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Platform/CMonotonicClock.h"

#include <cerrno>
#include <sched.h>
#include <unistd.h>

namespace tal {

namespace {

CString slashed(const CString& path) {
    CString s = path;
    for (int i = 0; i < s.length(); ++i) {
        if (s.charAt(i) != '\\')
            continue;
        if (s.isWide())
            s.chars32()[i] = U'/';
        else
            s.chars8()[i] = '/';
    }
    return s;
}

} // namespace

CFileBase::~CFileBase() {
    CError* err = CFileBase::close();
    reportError(&err);
}

CError* CFileBase::prepareOpen(const CString& path, bool writable) {
    if (CError* err = close())
        return traceError(err);
    mPath = slashed(path);
    mWritable = writable;
    mLocked = false;
    return nullptr;
}

CByteBuffer CFileBase::systemPath() const { return CSystem::toSystemPath(mPath); }

CError* CFileBase::getPosition(std::uint64_t& position) {
    const off_t at = lseek(mFd, 0, SEEK_CUR);
    if (at < 0)
        return newError("@talstr_CFileBase_getPosition_PosError Unable to get file's '%1' position (error %2).",
                        CString::emptyString, mPath, CString(errno));
    position = std::uint64_t(at);
    return nullptr;
}

CError* CFileBase::setPosition(std::uint64_t position) {
    if (position > std::uint64_t(INT64_MAX) || lseek(mFd, off_t(position), SEEK_SET) < 0)
        return newError("@talstr_CFileBase_setPosition_PosError Unable to set file's '%1' position to %2 (error %3).",
                        CString::emptyString, mPath, CString(std::int64_t(position)), CString(errno));
    return nullptr;
}

CError* CFileBase::getSize(std::uint64_t& size) {
    const off_t at = lseek(mFd, 0, SEEK_CUR);
    const off_t end = at < 0 ? -1 : lseek(mFd, 0, SEEK_END);
    if (at < 0 || end < 0 || lseek(mFd, at, SEEK_SET) < 0)
        return newError("@talstr_CFileBase_getSize_FileSizeError Unable to get file's '%1' size (error %2).",
                        CString::emptyString, mPath, CString(errno));
    size = std::uint64_t(end);
    return nullptr;
}

CError* CFileBase::close() {
    if (mFd < 0) {
        mPath = CString::emptyString;
        return nullptr;
    }
    if (mLocked) {
        mLocked = false;
        if (CError* err = setPosition(0))
            return traceError(err);
        if (lockf(mFd, F_ULOCK, 0) != 0)
            return newError("@talstr_CFileBase_close_UnlockError Unable to unlock file '%1' (error %2).",
                            CString::emptyString, mPath, CString(errno));
    }
    const int fd = mFd;
    mFd = -1;
    if (::close(fd) != 0)
        return newError("@talstr_CFileBase_open_CloseError Unable to close file '%1' (error %2).",
                        CString::emptyString, mPath, CString(errno));
    mPath = CString::emptyString;
    return nullptr;
}

CError* CFileBase::lock(bool& locked) {
    locked = false;
    std::uint64_t position = 0;
    if (CError* err = getPosition(position))
        return traceError(err);
    if (position > 0)
        if (CError* err = setPosition(0))
            return traceError(err);
    if (lockf(mFd, F_TLOCK, 0) == 0) {
        mLocked = true;
        locked = true;
    } else if (errno != EAGAIN && errno != EACCES) {
        const int code = errno;
        if (position > 0)
            if (CError* err = setPosition(position))
                return traceError(err);
        return newError("@talstr_CFileBase_lock_LockError Unable to lock file '%1' (error %2).", CString::emptyString,
                        mPath, CString(code));
    }
    if (position > 0)
        if (CError* err = setPosition(position))
            return traceError(err);
    return nullptr;
}

CError* CFileBase::lock(bool& locked, std::int32_t timeoutMs, std::int32_t pauseMs) {
    if (timeoutMs == 0) {
        if (CError* err = lock(locked))
            return traceError(err);
        return nullptr;
    }
    const std::uint64_t startNs = getMonotonicNanos();
    const std::uint64_t waitNs = timeoutMs > 0 ? std::uint64_t(timeoutMs) * 1000000u : 0;
    for (;;) {
        if (CError* err = lock(locked))
            return traceError(err);
        if (locked)
            return nullptr;
        if (timeoutMs > 0 && getMonotonicNanos() - startNs >= waitNs) {
            CString seconds;
            formatFixedPoint(seconds, timeoutMs, 3);
            return newError("@talstr_CFileBase_lock Lock wait timeout after %1 seconds.", CString::emptyString, seconds);
        }
        if (pauseMs > 0)
            usleep(useconds_t(pauseMs) * 1000u);
        else
            sched_yield();
    }
}

CError* CFileBase::truncate() {
    if (!mWritable)
        return newError("@talstr_CFileBase_truncate_NotWritableError Unable to truncate file '%1' - file is not "
                        "writable.",
                        CString::emptyString, mPath);
    std::uint64_t position = 0;
    if (CError* err = getPosition(position))
        return traceError(err);
    if (ftruncate(mFd, off_t(position)) != 0)
        return newError("@talstr_CFileBase_truncate_TruncateError Unable to truncate file '%1' (error %2).",
                        CString::emptyString, mPath, CString(errno));
    return nullptr;
}

CError* CFileBase::inherit(CFileBase& other) {
    if (other.mFd < 0)
        return newError("@talstr_CFileBase_inherit_InheritNotOpenError Unable to inherit file - file not open.");
    if (!other.mWritable)
        return newError("@talstr_CFileBase_inherit_InheritNotWritableError Unable to inherit file '%1' - file is not "
                        "writable.",
                        CString::emptyString, other.mPath);
    if (CError* err = close())
        return traceError(err);
    mFd = other.mFd;
    mWritable = true;
    mLocked = other.mLocked;
    mPath = other.mPath;
    other.mFd = -1;
    other.mPath = CString::emptyString;
    if (CError* err = setPosition(0))
        return traceError(err);
    return nullptr;
}

} // namespace tal
