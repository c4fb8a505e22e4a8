#pragma once
#include "Platform/CChildProcess.h"

#include <string>
#include <utility>
#include <vector>

namespace tal {

// One open, save or choose-folder panel, shown by zenity (else kdialog) in a process of its own so
// that the host's main thread never blocks: start() returns at once, the owner watches fd() on its
// run loop and calls onReadable() until it reports the end. Tests (and tools) can put a script in
// place of the programs, which answers through the same descriptor.
// Owned by the file-dialog service, one per shown panel; main thread only. Destroying it (or
// cancel) closes a panel still shown.
class CFileDialogProcess {
public:
    enum Mode { kModeOpen = 0, kModeSave = 1, kModeFolder = 2 };

    struct Request {
        int mode = kModeOpen;
        std::string title;
        std::string startFolder;                                 // "" or "." for the working folder
        std::string suggestedName;                               // the name field's text, may be empty
        std::vector<std::pair<std::string, std::string>> filters;   // extension without dot, description
        bool allowMultiple = false;                              // open mode only
    };

    // A scripted answer: fills `paths` with the chosen paths and returns true, or returns false for
    // a cancelled panel. Called inside start().
    using Script = bool (*)(const Request& request, std::vector<std::string>& paths, void* user);

    // --- life cycle ---
    CFileDialogProcess() = default;
    ~CFileDialogProcess() = default;
    CFileDialogProcess(const CFileDialogProcess&) = delete;
    CFileDialogProcess& operator=(const CFileDialogProcess&) = delete;

    // Shows the panel. False, with a message for the user in `error`, when neither zenity nor kdialog
    // can be started (and no script is set) or the mode is unknown.
    bool start(const Request& request, std::string& error);
    // Reads what the panel has answered so far. Returns true once it has ended, with the chosen
    // paths in `paths` (empty when cancelled or closed); false while it is still shown.
    bool onReadable(std::vector<std::string>& paths);
    // Closes a panel still shown; no answer comes.
    void cancel();

    // --- queries ---
    int fd() const noexcept { return mScripted ? mScriptFd : mProcess.outputFd(); }
    bool isRunning() const noexcept { return fd() >= 0; }

    // --- the programs' arguments ---
    static std::vector<std::string> zenityArguments(const Request& request);
    static std::vector<std::string> kdialogArguments(const Request& request);

    // --- tests and tools ---
    // A script in place of the programs for every panel started afterwards; null restores them.
    static void setScript(Script script, void* user) noexcept;

private:
    CChildProcess mProcess;
    bool mScripted = false;
    int mScriptFd = -1;
    int mScriptStatus = 1;
    std::string mScriptOutput;
};

} // namespace tal
