// "delmaro-tool compile": the description compiler.
//
//   compile INPUT.xml OUTPUT
//
// reads a description in its XML form (tools/DescriptionFormat.md) and writes the compiled form
// that the framework loads. The output is written to a temporary file beside it and renamed over
// it, so a failed run never leaves a partial description.
#include "DelmaroTool.h"
#include "DescriptionCompiler.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace delmaro_tool {

namespace {

bool readFile(const char* path, std::string& text, std::string& error) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        error = std::string("cannot open '") + path + "': " + std::strerror(errno);
        return false;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    if (!ok)
        error = std::string("cannot read '") + path + "'";
    return ok;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) {
        error = "cannot create '" + temp + "': " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        std::remove(temp.c_str());
    }
    return ok;
}

} // namespace

int runCompile(std::span<const char* const> args) {
    if (args.size() != 2)
        return fail("usage: compile INPUT.xml OUTPUT");
    std::string text, error;
    if (!readFile(args[0], text, error))
        return fail(error);
    std::vector<std::uint8_t> compiled;
    if (!compileDescription(text, compiled, error))
        return fail(std::string(args[0]) + ": " + error);
    if (!writeFile(args[1], compiled, error))
        return fail(error);
    return 0;
}

} // namespace delmaro_tool
