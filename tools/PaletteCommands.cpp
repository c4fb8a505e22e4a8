// "delmaro-tool palette-default OUT": writes the palette item the product starts from.
// "delmaro-tool sheet --palette OUT.png [--scale S] [--description FILE]": draws every colour of the
// product palette (gradient entries and hover colours) as swatches on the panel colour.
#include "DelmaroTool.h"
#include "PaletteSheet.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/Log.h"
#include "Core/CSystem.h"
#include "Core/NumberText.h"
#include "UI/CDynamicPalette.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace delmaro_tool {

using namespace tal;

namespace {

std::string errorText(CError* error) {
    const std::string text = joinErrorLines(error).narrowed().chars8();
    delete error;
    return text;
}

} // namespace

int runPaletteDefault(std::span<const char* const> args) {
    if (args.size() != 1)
        return fail("usage: palette-default OUT");
    if (CError* error = writeDefaultPaletteItem(CString(args[0])))
        return fail("cannot write '" + std::string(args[0]) + "': " + errorText(error));
    return 0;
}

int runPaletteSheet(std::span<const char* const> args) {
    std::string out, description = TAL_DEFAULT_UI_DESCRIPTION, item = TAL_DEFAULT_PALETTE_ITEM;
    double scale = 1.0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--palette" && hasValue)
            out = args[++i];
        else if (arg == "--scale" && hasValue)
            scale = parseDouble(args[++i]);
        else if (arg == "--description" && hasValue)
            description = args[++i];
        else if (arg == "--item" && hasValue)
            item = args[++i];
        else
            return fail("usage: sheet --palette OUT.png [--scale S] [--description FILE] [--item FILE]");
    }
    if (out.empty() || !(scale >= 0.5 && scale <= 8.0))
        return fail("usage: sheet --palette OUT.png [--scale S] (S from 0.5 to 8)");
    CByteBuffer bytes;
    if (CError* error = readDefaultPaletteItem(CString(item.c_str()), bytes))
        return fail("cannot read '" + item + "': " + errorText(error));
    // The sheet shows the description's colours: the palette's cache of this machine is neither
    // read nor written (the application data goes to a scratch folder).
    char scratch[] = "/tmp/delmaro-palette-XXXXXX";
    if (mkdtemp(scratch) == nullptr)
        return fail("cannot make a scratch folder");
    CSystem::setUserPreferencesFolderForTest(CString(scratch));
    CObject* root = nullptr;
    CDynamicPalette* palette = nullptr;
    CError* error = loadPalette(CString(description.c_str()), bytes, root, palette);
    int result = 0;
    if (error != nullptr)
        result = fail("cannot load the palette of '" + description + "': " + errorText(error));
    else if (!writePngRgb(out, renderPaletteSheet(*palette, scale)))
        result = fail("cannot write '" + out + "'");
    root->release();
    std::filesystem::remove_all(scratch);
    return result;
}

} // namespace delmaro_tool
