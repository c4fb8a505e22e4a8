// "delmaro-tool inspect": prints a preset file, a bank file or a saved plug-in state.
//
//   inspect FILE
//
// shows the preset or bank name, every entry with its parameter definition, value format and the
// values of each group. A file that is not such a record, or is damaged, gives a clear message on
// standard error and exit status 1 (what could be read is still printed).
#include "DelmaroTool.h"
#include "RecordPrinter.h"

#include <cstdio>
#include <string>

namespace delmaro_tool {

bool inspectAssetFile(const std::string& path, std::string& out, std::string& error);   // AssetCommands.cpp

int runInspect(std::span<const char* const> args) {
    if (args.size() != 1)
        return fail("usage: inspect FILE");
    std::string out, error;
    const std::string path = args[0];
    const auto endsWith = [&](const std::string& ext) {
        return path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0;
    };
    const bool ok = endsWith(".is") || endsWith(".fnt") ? inspectAssetFile(path, out, error)
                                                        : inspectRecordFile(path, out, error);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return ok ? 0 : fail(error);
}

} // namespace delmaro_tool
