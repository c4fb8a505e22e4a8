// "delmaro-tool dump": prints a compiled description as the framework loads it.
//
//   dump FILE
//
// loads FILE (an embedded resource name never matches here: the tool embeds nothing) as the shared
// object tree through the framework's loader, with no object tags registered, so every object is a
// plain object that keeps its attributes, and prints the tree and an instance of each template
// (tools/DescriptionDump.h gives the format).
#include "DelmaroTool.h"
#include "DescriptionDump.h"

#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CString.h"
#include "Core/Log.h"

#include <cstdio>
#include <string>

namespace delmaro_tool {

int runDump(std::span<const char* const> args) {
    using namespace tal;
    if (args.size() != 1)
        return fail("usage: dump FILE");
    CError* err = CApplication::initSharedObject(CString(args[0]));
    CObject* shared = CApplication::sharedObject();
    if (err != nullptr) {
        const CString text = joinErrorLines(err);
        delete err;
        if (shared != nullptr)
            shared->release();
        return fail(std::string("cannot load '") + args[0] + "':\n" + text.narrowed().chars8());
    }
    const std::string out = dumpTree(*shared) + dumpTemplates(*shared);
    std::fwrite(out.data(), 1, out.size(), stdout);
    shared->release();
    return 0;
}

} // namespace delmaro_tool
