#pragma once
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"
#include "Core/CStringList.h"

#include <source_location>
#include <span>

namespace tal {

// The result of every fallible operation; null means success. It holds text lines: the message,
// then one trace line for each level that passed the error on ("Core/CObject( 833 ) // full.name").
// One owner at a time: whoever receives an error either adds its trace line and returns it, or logs
// it (logError) and deletes it. Made and deleted on any thread; handed over, never shared.
class CError : public CPoolAllocated {
public:
    CError() = default;
    CError(const CError&) = delete;
    CError& operator=(const CError&) = delete;

    // --- queries ---
    const CStringList& lines() const noexcept { return mLines; }
    CStringList& lines() noexcept { return mLines; }
    int lineCount() const noexcept { return mLines.count(); }
    const CString& line(int i) const noexcept { return mLines[i]; }
    const CString& message() const noexcept { return mLines.isEmpty() ? CString::emptyString : mLines[0]; }

private:
    CStringList mLines;
    [[maybe_unused]] std::int32_t mValue = 1;   // set when made; kept for the record layout, read by nothing
};

// Makes a new error (previous null) or extends previous. A non-empty message becomes the next line:
// a message starting with "@" loses its id (up to and including its first blank), then %1 to %5
// are replaced by the arguments. An error made with an empty message gets an empty line 0. Then the
// trace line "path( line )" or "path( line ) // objectName" is appended. Cannot fail.
[[nodiscard]] CError* makeError(CError* previous, const CString& path, int line, const CString& objectName,
                                const CString& message, const CString& arg1 = CString::emptyString,
                                const CString& arg2 = CString::emptyString, const CString& arg3 = CString::emptyString,
                                const CString& arg4 = CString::emptyString, const CString& arg5 = CString::emptyString);

// Fills a pattern: "%1" to "%9" take the argument at that position (nothing when there is none),
// "%%" gives "%", "%" before any other character drops both, a final "%" is dropped.
CString formatText(const CString& pattern, std::span<const CString* const> args);

// The source path of a file as trace lines name it: below the source root, without extension
// ("/x/Sources/Core/CObject.cpp" gives "Core/CObject").
CString sourcePathOf(const char* file);

// A message text plus the place in the source that raises it; made implicitly at the call site.
struct CErrorSite {
    CErrorSite(const char* text, std::source_location where = std::source_location::current()) noexcept
        : message(text), where(where) {}
    CErrorSite(const CString& text, std::source_location where = std::source_location::current()) noexcept
        : message(text.chars8()), wide(&text), where(where) {}
    const char* message;
    const CString* wide = nullptr;
    std::source_location where;
};

// The helpers every error of the framework passes through, with the caller's file and line as the
// trace line. newError makes a new error; traceError adds the caller's trace line to an error and
// returns it (null stays null).
[[nodiscard]] CError* newError(CErrorSite message, const CString& objectName = CString::emptyString,
                               const CString& arg1 = CString::emptyString, const CString& arg2 = CString::emptyString,
                               const CString& arg3 = CString::emptyString, const CString& arg4 = CString::emptyString,
                               const CString& arg5 = CString::emptyString);
[[nodiscard]] CError* traceError(CError* error, const CString& objectName = CString::emptyString,
                                 std::source_location where = std::source_location::current());

} // namespace tal
