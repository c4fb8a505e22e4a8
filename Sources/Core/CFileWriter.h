#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CFileBase.h"
#include "Core/CPosOutputStream.h"

#include <cstdint>

namespace tal {

// The file output stream: one write call per operation, no buffering. "*" opens standard output,
// "*e" standard error.
// Rewriting never damages the file it replaces: the bytes go to a temporary file of a unique name
// beside it ("<path>.tmp-" and six characters), and close (or destruction) commits that to storage
// and renames it over the path, unless a write failed or discard was called, in which case the
// temporary file is removed and the old file stays as it was. Writers in several processes
// rewriting one path at once each rename a whole file of their own: the last rename wins and a
// reader never sees a torn mixture. Appending writes to the file itself. One thread at a time.
class CFileWriter : public CCheckedObject, public CPosOutputStream, public CFileBase {
public:
    CFileWriter() = default;
    ~CFileWriter() override;   // closes (committing a rewrite); a failure goes to the log

    // Closes any open file, then opens path for appending (created when missing) or for rewriting.
    [[nodiscard]] CError* open(const CString& path, bool append = false);
    // Exactly count bytes in one call; a failure also cancels a rewrite.
    [[nodiscard]] CError* write(const void* source, std::int32_t count) override;
    // Commits the file's data to storage.
    [[nodiscard]] CError* flush();
    // Cancels a rewrite: close removes the temporary file and leaves the old file untouched.
    void discard() noexcept { mDiscard = true; }
    // Closes; a rewrite is committed to storage and renamed over the path, or dropped.
    [[nodiscard]] CError* close() override;

private:
    CByteBuffer mTempPath;   // NUL-terminated UTF-8 of the temporary file while rewriting; empty otherwise
    bool mDiscard = false;
};

} // namespace tal
