#include "DelmaroTool.h"

#include <cstdio>
#include <string>

namespace delmaro_tool {

int fail(std::string_view message) {
    std::fprintf(stderr, "delmaro-tool: %.*s\n", int(message.size()), message.data());
    return 1;
}

int runVersion(std::span<const char* const> args);
int runSelfcheck(std::span<const char* const> args);
int runCompile(std::span<const char* const> args);
int runDump(std::span<const char* const> args);
int runPack(std::span<const char* const> args);
int runInspect(std::span<const char* const> args);
int runHost(std::span<const char* const> args);
int runBank(std::span<const char* const> args);
int runSheet(std::span<const char* const> args);
int runPaletteDefault(std::span<const char* const> args);
int runPaletteSheet(std::span<const char* const> args);
int runShot(std::span<const char* const> args);

// One line per subcommand; each lives in a file of its own.
static const Command kCommands[] = {
    {"version", "version: print the tool's version", runVersion},
    {"selfcheck", "selfcheck: print the product identity and build information, check the framework", runSelfcheck},
    {"compile", "compile INPUT.xml OUTPUT: compile a description from its XML form", runCompile},
    {"dump", "dump FILE: load a compiled description and print its object tree", runDump},
    {"pack", "pack table --output FILE.cpp --symbol NAME RESOURCE=PATH... | pack font OUT.fnt --face FILE --size PX "
             "[OPTIONS] | pack imageset MANIFEST OUT.is: embedded resource table, bitmap font, image set", runPack},
    {"inspect", "inspect FILE: print a preset file, a bank file, a saved plug-in state, an image set or a font", runInspect},
    {"host", "host info BUNDLE | host process BUNDLE IN.wav OUT.wav [OPTIONS] | host editor BUNDLE --png OUT.png [--events FILE]: run a VST 3 bundle as a host does", runHost},
    {"sheet", "sheet IN.is|IN.fnt OUT.png [--scale S] [--text TEXT] | sheet --palette OUT.png [--scale S] | "
              "sheet --description FILE.xml OUT.png [--scale S]: draw a specimen sheet of an image set or font, "
              "every palette colour as swatches on the panel colour, or the views of a description", runSheet},
    {"bank", "bank SOURCE.txt SHARED-DESCRIPTION OUTPUT [--registry NAME] [--list]: capture a preset bank", runBank},
    {"palette-default", "palette-default OUT: write the palette item the product starts from", runPaletteDefault},
    {"shot", "shot OUT.png [--description FILE] [--size WxH] [--scale S] [--set NAME=TEXT]... [--events FILE]: draw "
             "the editor's main window headless into a PNG", runShot},
};

int runVersion(std::span<const char* const> args) {
    if (!args.empty())
        return fail("version takes no arguments");
    std::printf("delmaro-tool 1.0.0\n");
    return 0;
}

static void printUsage(std::FILE* to) {
    std::fprintf(to, "usage: delmaro-tool COMMAND [ARGS...]\n");
    for (const Command& c : kCommands)
        std::fprintf(to, "  %.*s\n", int(c.usage.size()), c.usage.data());
}

} // namespace delmaro_tool

int main(int argc, char** argv) {
    using namespace delmaro_tool;
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string_view name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        printUsage(stdout);
        return 0;
    }
    for (const Command& c : kCommands)
        if (c.name == name)
            return c.run(std::span<const char* const>(argv + 2, argv + argc));
    fail("unknown command '" + std::string(name) + "' (try 'delmaro-tool help')");
    return 2;
}
