#pragma once
#include <span>
#include <string_view>

// The developer tool's subcommands. Each is a thin front on framework code, prints a clear message
// and returns non-zero on any error; it never crashes on bad input.
namespace delmaro_tool {

using CommandFn = int (*)(std::span<const char* const> args);   // args: after the subcommand name

struct Command {
    std::string_view name;
    std::string_view usage;    // one line: arguments and what it does
    CommandFn run;
};

// Prints "delmaro-tool: <message>" to standard error and returns 1, for `return fail(...)`.
int fail(std::string_view message);

} // namespace delmaro_tool
