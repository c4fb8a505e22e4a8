#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace tal::test {

// The exit status and output (standard output and error) of one run of a command-line tool.
struct ToolRun {
    int status = -1;   // -1 when the tool did not exit normally
    std::string output;
};

// Runs "'tool' arguments" through the shell and collects what it prints.
inline ToolRun runTool(const char* tool, const std::string& arguments) {
    ToolRun run;
    std::ostringstream text;   // (not a chain of std::string +, which GCC 12 warns about wrongly)
    text << "'" << tool << "' " << arguments << " 2>&1";
    const std::string command = text.str();
    FILE* pipe = ::popen(command.c_str(), "r");
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
