#include "Platform/SystemOpen.h"

#include "Platform/CChildProcess.h"

#include <mutex>

namespace tal {

namespace {

std::mutex gProgramMutex;
std::string gProgram;      // under gProgramMutex; empty: xdg-open

} // namespace

bool openWithSystem(const std::string& address) {
    if (address.empty())
        return false;
    std::string program;
    {
        std::lock_guard lock(gProgramMutex);
        program = gProgram.empty() ? "xdg-open" : gProgram;
    }
    return CChildProcess::launchDetached({program, address});
}

void setSystemOpenProgramForTest(const std::string& program) {
    std::lock_guard lock(gProgramMutex);
    gProgram = program;
}

} // namespace tal
