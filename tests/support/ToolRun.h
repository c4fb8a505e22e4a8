#pragma once
// Runs a command line through the shell, as a user would type it, and collects its standard output
// and error and its exit status (-1 when it did not exit normally or could not start).
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace tal::test {

struct ToolRun {
    int status = -1;
    std::string output;   // standard output and error
};

inline ToolRun runCommandLine(const std::string& commandLine) {
    ToolRun run;
    FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        run.output += buffer;
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace tal::test
