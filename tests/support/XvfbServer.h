#pragma once
// A private X server (Xvfb) for the X11 tests: started once per test program on a free display
// number that the server picks itself (-displayfd), 1920x1080 at 24 bits, and stopped when the
// program ends. Tests use TAL_REQUIRE_XVFB (support/X11TestSupport.h); benchmarks use it too.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tal {

class XvfbServer {
public:
    static XvfbServer& instance() {
        static XvfbServer server;
        return server;
    }
    bool running() const { return mPid > 0 && !mDisplay.empty(); }
    const std::string& display() const { return mDisplay; }    // ":N"
    const std::string& failure() const { return mFailure; }

    ~XvfbServer() {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            int status = 0;
            waitpid(mPid, &status, 0);
        }
    }

private:
    XvfbServer() { start(); }

    void start() {
        const char* path = "/usr/bin/Xvfb";
        if (access(path, X_OK) != 0) {
            mFailure = "Xvfb is not installed (scripts/setup installs it)";
            return;
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            mFailure = "no pipe for Xvfb";
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // The write end becomes fd 3 in the server; its output goes nowhere.
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {path, "-displayfd", "3", "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
                              "-noreset", nullptr};
        const int spawned = posix_spawn(&mPid, path, &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            mPid = 0;
            close(fds[0]);
            mFailure = "Xvfb could not be started";
            return;
        }
        // The server writes its display number once it accepts connections; a loaded machine may
        // take a while.
        std::string number;
        for (;;) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 30000) <= 0)
                break;
            char c = 0;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number.push_back(c);
        }
        close(fds[0]);
        if (number.empty()) {
            mFailure = "Xvfb did not report a display within 30 s";
            kill(mPid, SIGTERM);
            int status = 0;
            waitpid(mPid, &status, 0);
            mPid = 0;
            return;
        }
        mDisplay = ":" + number;
    }

    pid_t mPid = 0;
    std::string mDisplay;
    std::string mFailure;
};

} // namespace tal
