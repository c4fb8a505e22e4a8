#pragma once
#include <string>

namespace tal {

// Opens an address (a web page, a mail address, a file or folder path) with the desktop's
// preferred application: xdg-open runs without a shell, the address passed as its one argument,
// so no character of it is interpreted. Returns at once; false when the program cannot be started.
// Any thread.
bool openWithSystem(const std::string& address);

// Tests: a program in place of xdg-open (searched in PATH); empty restores xdg-open.
void setSystemOpenProgramForTest(const std::string& program);

} // namespace tal
