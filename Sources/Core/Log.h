#pragma once
#include "Core/CString.h"

namespace tal {

class CConsole;
class CError;

// The framework's log. A line goes to the registered console sink, if any, and to the log file, if
// a path is configured; with neither (the shipped configuration) nothing is written anywhere.
// Any thread.

// Writes one 8-bit line: to the sink (without the line end), then, under the log's mutex, to the
// log file (the first write after start or clearLog truncates it; later writes append), followed by
// a line end when newline is set, flushed. Never fails: file errors are ignored.
void writeLog(const char* text, bool newline);
// Writes every line of the error, in order; 32-bit lines are cut to their low 8 bits and every line
// to 1023 bytes. The error stays with the caller.
void logError(const CError* error);
// Clears the sink and makes the next file write truncate the file.
void clearLog();

// Registers the console sink (null: none) and returns the previous one. Once it returns, no write
// to the previous sink is still running, so the caller may destroy it.
CConsole* setConsoleSink(CConsole* sink);
// Sets the log file path (null or empty: no file). The shipped product never sets one; developer
// tools and tests may. The next write truncates the file.
void setLogFilePath(const char* path);
// Whether a log file is configured: then error popups show every line, not only the message.
bool isLogFileConfigured();

// Ends an error chain: logs every line, deletes the error and sets the pointer to null. Null does
// nothing. Nothing is shown to the user.
void reportError(CError** error);
// The same for an error that nobody keeps a pointer to, such as a call's result:
// reportError(load()).
void reportError(CError* error);
// Empties text, then, for a non-null error, appends every line (all set) or only the message, each
// followed by "\n", and deletes the error. Returns whether the error was non-null.
bool fetchErrorText(CError* error, CString& text, bool all);
// Every line of the error followed by "\n"; the error stays with the caller.
CString joinErrorLines(const CError* error);

} // namespace tal
