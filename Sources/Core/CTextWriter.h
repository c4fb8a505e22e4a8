#pragma once
#include "Core/CFileWriter.h"
#include "Core/COutputBufStream.h"
#include "Core/CString.h"

namespace tal {

class CError;
class CFileBase;

// Writes a text file line by line as UTF-8, through a buffer. Owned by its user on one thread; the
// destructor closes the file and logs a failure.
class CTextWriter {
public:
    CTextWriter() = default;
    CTextWriter(const CTextWriter&) = delete;
    CTextWriter& operator=(const CTextWriter&) = delete;
    ~CTextWriter();

    // Takes over an open, writable file (left closed); writing starts at its beginning. A file
    // this writer had open is closed first.
    [[nodiscard]] CError* open(CFileBase& file);
    // Creates or replaces the file at path; the old file stays intact until close.
    [[nodiscard]] CError* open(const CString& path);
    // Writes the text, then the line end ("\n") when newline is set.
    [[nodiscard]] CError* writeLine(const CString& text, bool newline);
    // Writes out the buffer, cuts the file at the written end when truncate is set (a taken-over
    // file may have been longer) and closes it.
    [[nodiscard]] CError* close(bool truncate);

private:
    CFileWriter mFile;
    COutputBufStream mStream;
    CString mTerminator = CString("\n");
};

} // namespace tal
