#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

namespace tal {

// A helper program run without a shell (posix_spawnp, the arguments passed as they are), its
// standard output optionally read through a non-blocking pipe that a run loop can watch.
// Owned by whoever started it; the destructor ends a program still running (SIGTERM) and reaps it.
// Main thread, except launchDetached (any thread).
class CChildProcess {
public:
    // --- life cycle ---
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts argv[0], searched in PATH, with the other entries as its arguments. With captureOutput
    // its standard output goes to outputFd(); its standard input is /dev/null. False when the
    // program cannot be started (not installed, no such file); nothing is left running then.
    bool start(const std::vector<std::string>& argv, bool captureOutput);

    // --- operations ---
    // Reads what the program has written so far into output(). Returns false once the output has
    // ended (the program closed it or ended), true while more may come.
    bool readOutput();
    // Waits for the program to end and returns its exit status (128 + signal for a signal), or -1
    // when none was started. Call after the output ended, or to wait regardless.
    int wait();
    // Ends the program (SIGTERM), reaps it and drops its output; nothing when none is running.
    void terminate();

    // Appends what a non-blocking descriptor holds to `out`. True while more may come, false at
    // its end (or on a read error).
    static bool readAvailable(int fd, std::string& out);

    // Starts a program and lets it run on its own (reaped at a later launch once it ended). False
    // when it cannot be started.
    static bool launchDetached(const std::vector<std::string>& argv);

    // --- queries ---
    bool isRunning() const noexcept { return mPid > 0; }
    int outputFd() const noexcept { return mOutputFd; }    // -1 without captured output
    const std::string& output() const noexcept { return mOutput; }

private:
    void closeOutput();

    pid_t mPid = 0;
    int mOutputFd = -1;
    std::string mOutput;
};

} // namespace tal
