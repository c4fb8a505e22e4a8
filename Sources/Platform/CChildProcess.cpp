#include "Platform/CChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <mutex>
#include <unistd.h>

extern char** environ;

namespace tal {

namespace {

pid_t spawnProgram(const std::vector<std::string>& argv, int outputWriteFd) {
    if (argv.empty() || argv[0].empty())
        return 0;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outputWriteFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outputWriteFd, 1);
    pid_t pid = 0;
    const int result = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : 0;
}

int reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

} // namespace

CChildProcess::~CChildProcess() {
    terminate();
    closeOutput();
}

bool CChildProcess::start(const std::vector<std::string>& argv, bool captureOutput) {
    terminate();
    closeOutput();
    mOutput.clear();
    int fds[2] = {-1, -1};
    if (captureOutput && pipe2(fds, O_CLOEXEC) != 0)
        return false;
    mPid = spawnProgram(argv, fds[1]);
    if (fds[1] >= 0)
        close(fds[1]);
    if (mPid <= 0) {
        mPid = 0;
        if (fds[0] >= 0)
            close(fds[0]);
        return false;
    }
    mOutputFd = fds[0];
    if (mOutputFd >= 0)
        fcntl(mOutputFd, F_SETFL, fcntl(mOutputFd, F_GETFL) | O_NONBLOCK);
    return true;
}

bool CChildProcess::readAvailable(int fd, std::string& out) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            out.append(buffer, std::size_t(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

bool CChildProcess::readOutput() {
    if (mOutputFd < 0)
        return false;
    if (readAvailable(mOutputFd, mOutput))
        return true;
    closeOutput();                        // end of output or a read error
    return false;
}

int CChildProcess::wait() {
    if (mPid <= 0)
        return -1;
    const int status = reap(mPid);
    mPid = 0;
    return status;
}

void CChildProcess::terminate() {
    closeOutput();
    if (mPid <= 0)
        return;
    kill(mPid, SIGTERM);
    reap(mPid);
    mPid = 0;
}

void CChildProcess::closeOutput() {
    if (mOutputFd >= 0)
        close(mOutputFd);
    mOutputFd = -1;
}

bool CChildProcess::launchDetached(const std::vector<std::string>& argv) {
    // No thread waits for them (a plug-in may be unloaded while it would): the ones that ended are
    // reaped at the next launch, so at most the last few linger as finished entries.
    static std::mutex mutex;
    static std::vector<pid_t> launched;
    std::lock_guard lock(mutex);
    std::erase_if(launched, [](pid_t pid) {
        int status = 0;
        return waitpid(pid, &status, WNOHANG) != 0;
    });
    const pid_t pid = spawnProgram(argv, -1);
    if (pid <= 0)
        return false;
    launched.push_back(pid);
    return true;
}

} // namespace tal
