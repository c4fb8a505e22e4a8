#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CPosStream.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

// The file part of the file streams: owns a POSIX descriptor and the name it was opened with, and
// implements position, seek and size. Adds an advisory whole-file lock with a wait time-out,
// truncation and taking over another object's descriptor. No buffering: one system call per
// operation. One thread at a time; the lock is between processes, not threads.
class CFileBase : public virtual CPosStream {
public:
    CFileBase() = default;
    CFileBase(const CFileBase&) = delete;
    CFileBase& operator=(const CFileBase&) = delete;
    ~CFileBase() override;   // closes; a close error goes to the log

    // --- queries ---
    bool isOpen() const noexcept { return mFd >= 0; }
    int descriptor() const noexcept { return mFd; }
    // The name as opened, '\' turned into '/'; "stdin", "stdout" or "stderr" for the standard streams.
    const CString& path() const noexcept { return mPath; }
    bool isWritable() const noexcept { return mWritable; }
    bool isLocked() const noexcept { return mLocked; }

    // --- positioning ---
    [[nodiscard]] CError* getPosition(std::uint64_t& position) override;
    [[nodiscard]] CError* setPosition(std::uint64_t position) override;
    // The file's length; the position is unchanged.
    [[nodiscard]] CError* getSize(std::uint64_t& size) override;

    // --- operations ---
    // Releases the lock if held and closes the descriptor (standard ones included); nothing when
    // closed. The path is emptied unless closing fails.
    [[nodiscard]] virtual CError* close();
    // One attempt to take the whole-file lock; locked tells whether it was taken. Held elsewhere is
    // no error. The position is kept.
    [[nodiscard]] CError* lock(bool& locked);
    // timeoutMs 0: one attempt; below 0: until taken; above 0: until taken or the time is up (then
    // the time-out error). Between attempts sleeps pauseMs, or yields when pauseMs <= 0.
    [[nodiscard]] CError* lock(bool& locked, std::int32_t timeoutMs, std::int32_t pauseMs);
    // Cuts the file at the current position; only for writable files.
    [[nodiscard]] CError* truncate();
    // Takes over other's open, writable descriptor, closing this object's own file first; other
    // is left closed with an empty path. Then seeks to 0.
    [[nodiscard]] CError* inherit(CFileBase& other);

protected:
    // Closes what is open, stores the path with '/' separators and sets the flags.
    [[nodiscard]] CError* prepareOpen(const CString& path, bool writable);
    // The stored path as NUL-terminated UTF-8 for the system.
    CByteBuffer systemPath() const;

    std::int32_t mFd = -1;
    CString mPath;
    bool mWritable = false;
    bool mLocked = false;
};

} // namespace tal
