#include "Core/Log.h"

#include "Core/CConsole.h"
#include "Core/CError.h"
#include "Core/CRecursiveMutex.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <string>

namespace tal {

namespace {

// Function-local statics: usable from any static initialiser, in any translation unit.
struct LogState {
    std::shared_mutex sinkMutex;     // writers share it while calling the sink; registration excludes them
    CConsole* sink = nullptr;
    CRecursiveMutex fileMutex;      // serialises file writes
    std::string path;
    std::FILE* file = nullptr;
    bool restartPending = true;
    std::atomic<bool> hasFile{false};
};

// The state lives from before every ordinary static object of the module to after all of them, so
// logging works in every static initialiser and destructor, and unloading the plug-in frees it.
LogState* gLogState = nullptr;

LogState& logState() {
    if (gLogState == nullptr)
        gLogState = new LogState();
    return *gLogState;
}

struct LogStateHolder {
    LogStateHolder() { (void)logState(); }
    LogStateHolder(const LogStateHolder&) = delete;
    LogStateHolder& operator=(const LogStateHolder&) = delete;
    ~LogStateHolder() {
        if (gLogState->file != nullptr)
            std::fclose(gLogState->file);
        delete gLogState;
        gLogState = nullptr;
    }
};
__attribute__((init_priority(102))) LogStateHolder gLogStateHolder;

} // namespace

void writeLog(const char* text, bool newline) {
    if (text == nullptr)
        text = "";
    LogState& s = logState();
    {
        std::shared_lock lock(s.sinkMutex);
        if (s.sink != nullptr)
            s.sink->write(text);
    }
    if (!s.hasFile.load(std::memory_order_acquire))
        return;
    std::lock_guard lock(s.fileMutex);
    if (s.path.empty())
        return;
    if (s.restartPending || s.file == nullptr) {
        if (s.file != nullptr)
            std::fclose(s.file);
        s.file = std::fopen(s.path.c_str(), s.restartPending ? "wb" : "ab");
        s.restartPending = false;
    }
    if (s.file == nullptr)
        return;
    std::fwrite(text, 1, std::strlen(text), s.file);
    if (newline)
        std::fputc('\n', s.file);
    std::fflush(s.file);
}

void logError(const CError* error) {
    if (error == nullptr)
        return;
    for (int i = 0; i < error->lineCount(); ++i) {
        const CString& line = error->line(i);
        const CString narrow = line.isWide() ? line.narrowed() : CString();
        const CString& text = line.isWide() ? narrow : line;
        char buffer[1024];
        std::snprintf(buffer, sizeof buffer, "%s", text.chars8());
        writeLog(buffer, true);
    }
}

void clearLog() {
    LogState& s = logState();
    {
        std::shared_lock lock(s.sinkMutex);
        if (s.sink != nullptr)
            s.sink->clear();
    }
    std::lock_guard lock(s.fileMutex);
    s.restartPending = true;
}

CConsole* setConsoleSink(CConsole* sink) {
    LogState& s = logState();
    std::unique_lock lock(s.sinkMutex);
    CConsole* previous = s.sink;
    s.sink = sink;
    return previous;
}

void setLogFilePath(const char* path) {
    LogState& s = logState();
    std::lock_guard lock(s.fileMutex);
    if (s.file != nullptr) {
        std::fclose(s.file);
        s.file = nullptr;
    }
    s.path = path != nullptr ? path : "";
    s.restartPending = true;
    s.hasFile.store(!s.path.empty(), std::memory_order_release);
}

bool isLogFileConfigured() { return logState().hasFile.load(std::memory_order_acquire); }

void reportError(CError* error) {
    if (error == nullptr)
        return;
    logError(error);
    delete error;
}

void reportError(CError** error) {
    if (error == nullptr)
        return;
    reportError(*error);
    *error = nullptr;
}

bool fetchErrorText(CError* error, CString& text, bool all) {
    text.setLength(0, false);
    if (error == nullptr)
        return false;
    const int lines = all ? error->lineCount() : (error->lineCount() > 0 ? 1 : 0);
    for (int i = 0; i < lines; ++i) {
        text.append(error->line(i));
        text.append("\n");
    }
    delete error;
    return true;
}

CString joinErrorLines(const CError* error) {
    CString text;
    if (error != nullptr)
        for (int i = 0; i < error->lineCount(); ++i) {
            text.append(error->line(i));
            text.append("\n");
        }
    return text;
}

} // namespace tal
