#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The description compiler: turns the readable XML form of a description (tools/DescriptionFormat.md)
// into the compiled form that the framework's loader reads. Used by `delmaro-tool compile` at build
// time and by the tests. Plain functions, no state; any thread.
namespace delmaro_tool {

// Compiles the XML text. On success fills out and returns true; otherwise returns false and sets
// error to a message that names the problem (and the element's path where one applies).
// The strings are written in ascending byte order, every string once, and numbered in order of
// first use (the root tag, then depth-first through the nodes).
bool compileDescription(const std::string& xmlText, std::vector<std::uint8_t>& out, std::string& error);

} // namespace delmaro_tool
