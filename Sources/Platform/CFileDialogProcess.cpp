#include "Platform/CFileDialogProcess.h"

#include <atomic>
#include <cctype>
#include <fcntl.h>
#include <unistd.h>

namespace tal {

namespace {

std::atomic<CFileDialogProcess::Script> gScript{nullptr};
std::atomic<void*> gScriptUser{nullptr};

// The start folder with a trailing '/', "./" for none.
std::string folderWithSlash(const std::string& folder) {
    if (folder.empty())
        return "./";
    return folder.back() == '/' ? folder : folder + "/";
}

std::string upper(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "*.cbf *.CBF": the programs match case-sensitively.
std::string patternsOf(const std::string& extension) {
    const std::string up = upper(extension);
    return up == extension ? "*." + extension : "*." + extension + " *." + up;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

std::vector<std::string> CFileDialogProcess::zenityArguments(const Request& r) {
    std::vector<std::string> a = {"zenity", "--file-selection"};
    if (!r.title.empty())
        a.insert(a.end(), {"--title", r.title});
    if (r.mode == kModeFolder) {
        a.push_back("--directory");
        a.insert(a.end(), {"--filename", folderWithSlash(r.startFolder)});
        return a;
    }
    if (r.mode == kModeSave)
        a.insert(a.end(), {"--save", "--confirm-overwrite"});
    if (r.mode == kModeOpen && r.allowMultiple)
        a.insert(a.end(), {"--multiple", "--separator", "\n"});
    a.insert(a.end(), {"--filename", folderWithSlash(r.startFolder) + r.suggestedName});
    for (const auto& [extension, description] : r.filters)
        a.push_back("--file-filter=" + (description.empty() ? extension : description) + " | " + patternsOf(extension));
    return a;
}

std::vector<std::string> CFileDialogProcess::kdialogArguments(const Request& r) {
    std::vector<std::string> a = {"kdialog"};
    if (!r.title.empty())
        a.insert(a.end(), {"--title", r.title});
    if (r.mode == kModeFolder) {
        a.insert(a.end(), {"--getexistingdirectory", folderWithSlash(r.startFolder)});
        return a;
    }
    if (r.mode == kModeOpen && r.allowMultiple)
        a.insert(a.end(), {"--multiple", "--separate-output"});
    a.push_back(r.mode == kModeSave ? "--getsavefilename" : "--getopenfilename");
    a.push_back(folderWithSlash(r.startFolder) + r.suggestedName);
    std::string filter;
    for (const auto& [extension, description] : r.filters) {
        if (!filter.empty())
            filter += "\n";
        filter += patternsOf(extension) + "|" + (description.empty() ? extension : description);
    }
    if (!filter.empty())
        a.push_back(filter);
    return a;
}

void CFileDialogProcess::setScript(Script script, void* user) noexcept {
    gScriptUser.store(user);
    gScript.store(script);
}

bool CFileDialogProcess::start(const Request& request, std::string& error) {
    cancel();
    if (request.mode != kModeOpen && request.mode != kModeSave && request.mode != kModeFolder) {
        error = "Invalid file dialog mode.";
        return false;
    }
    if (const Script script = gScript.load()) {
        std::vector<std::string> paths;
        mScriptStatus = script(request, paths, gScriptUser.load()) ? 0 : 1;
        // The answer comes through a pipe, as a program's would.
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            error = "No pipe for the file dialog.";
            return false;
        }
        std::string text;
        for (const std::string& p : paths)
            text += p + "\n";
        mScriptOutput.clear();
        // Small answers fit the pipe; a longer one is kept and handed over directly.
        const ssize_t written = text.empty() ? 0 : write(fds[1], text.data(), text.size());
        if (written < 0 || std::size_t(written) < text.size())
            mScriptOutput = text.substr(written < 0 ? 0 : std::size_t(written));
        close(fds[1]);
        mScripted = true;
        mScriptFd = fds[0];
        return true;
    }
    mScripted = false;
    if (mProcess.start(zenityArguments(request), true) || mProcess.start(kdialogArguments(request), true))
        return true;
    error = "No file dialog can be shown: install zenity or kdialog.";
    return false;
}

bool CFileDialogProcess::onReadable(std::vector<std::string>& paths) {
    paths.clear();
    if (mScripted) {
        if (mScriptFd < 0)
            return true;
        // The write end was closed at the start: everything is there at once.
        std::string text;
        CChildProcess::readAvailable(mScriptFd, text);
        close(mScriptFd);
        mScriptFd = -1;
        mScripted = false;
        if (mScriptStatus == 0)
            paths = splitLines(text + mScriptOutput);
        mScriptOutput.clear();
        return true;
    }
    if (mProcess.readOutput())
        return false;                              // still shown
    const int status = mProcess.wait();
    if (status == 0)
        paths = splitLines(mProcess.output());
    return true;
}

void CFileDialogProcess::cancel() {
    mProcess.terminate();
    if (mScriptFd >= 0)
        close(mScriptFd);
    mScriptFd = -1;
    mScripted = false;
    mScriptOutput.clear();
}

} // namespace tal
