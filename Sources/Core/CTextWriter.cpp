#include "Core/CTextWriter.h"

#include "Core/CError.h"
#include "Core/Log.h"

namespace tal {

CTextWriter::~CTextWriter() {
    if (CError* error = close(false))
        reportError(&error);
}

CError* CTextWriter::open(CFileBase& file) {
    if (CError* error = close(false))
        return traceError(error);
    if (CError* error = mFile.inherit(file))
        return traceError(error);
    if (CError* error = mStream.open(mFile))
        return traceError(error);
    return nullptr;
}

CError* CTextWriter::open(const CString& path) {
    if (CError* error = close(false))
        return traceError(error);
    if (CError* error = mFile.open(path, false))
        return traceError(error);
    if (CError* error = mStream.open(mFile))
        return traceError(error);
    return nullptr;
}

CError* CTextWriter::writeLine(const CString& text, bool newline) {
    CError* error = text.isWide() ? mStream.writeText32(text.chars32(), false) : mStream.writeText8(text.chars8(), false);
    if (error == nullptr && newline)
        error = mStream.writeText8(mTerminator.chars8(), false);
    return error != nullptr ? traceError(error) : nullptr;
}

CError* CTextWriter::close(bool truncate) {
    if (!mFile.isOpen())
        return nullptr;
    if (CError* error = mStream.flush()) {
        mFile.discard();
        if (CError* closeError = mFile.close())
            reportError(&closeError);
        return traceError(error);
    }
    if (truncate)
        if (CError* error = mFile.truncate()) {
            mFile.discard();
            if (CError* closeError = mFile.close())
                reportError(&closeError);
            return traceError(error);
        }
    if (CError* error = mFile.close())
        return traceError(error);
    return nullptr;
}

} // namespace tal
