#include "ViewSheet.h"

#include "DelmaroTool.h"
#include "DescriptionCompiler.h"
#include "PngFile.h"

#include "Core/CByteBuffer.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "Core/CObject.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/CXMLLoader.h"
#include "Core/Log.h"
#include "Core/CSystem.h"
#include "Core/NumberText.h"
#include "Other/CLinearBitmap.h"
#include "ProductCreators.h"
#include "UI/CDynamicPalette.h"
#include "UI/CView.h"
#include "UI/CViewColorTable.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace delmaro_tool {

using namespace tal;

namespace {

CView* findRootView(CObject* object) {
    if (auto* view = dynamic_cast<CView*>(object); view != nullptr && view->parentPlacement() == nullptr) return view;
    for (int i = 0; i < object->childCount(); ++i)
        if (CView* found = findRootView(object->child(i))) return found;
    return nullptr;
}

std::string errorText(CError* error) {
    std::string text;
    for (int i = 0; error != nullptr && i < error->lineCount(); ++i)
        text += std::string(i > 0 ? "\n  " : "") + error->line(i).narrowed().chars8();
    delete error;
    return text;
}

} // namespace

bool renderDescriptionSheet(const std::string& path, double scale, CLinearBitmap& out, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read '" + path + "'";
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    std::vector<std::uint8_t> image;
    if (!compileDescription(text.str(), image, error)) return false;
    static const CCreatorTableEntry kSheetTable[] = {
        {"ui:view", &createSheetView, &CView::initScheme},
        {"", nullptr, nullptr},
    };
    // The sheet's "ui:view" is registered first and stays; the product's entry is skipped.
    CCreatorRegistry::instance().registerTable(kSheetTable);
    for (const CCreatorTableEntry* const* table = productCreatorTables(); *table != nullptr; ++table)
        CCreatorRegistry::instance().registerTable(*table);
    auto* tree = new CObject;
    tree->initRoot(new CEventRegistry);
    CError* failure = CXMLLoader::loadImage(*tree, image.data(), std::int32_t(image.size()), false, true);
    if (failure == nullptr) {
        if (auto* palette = dynamic_cast<CDynamicPalette*>(tree->findObject(CString("ui.palette")))) {
            // An item without entries: every colour takes its description's values.
            CWriteSeqBuffer body;
            delete body.write32(1);
            delete body.writeString(CString());
            CByteBuffer item;
            body.moveTo(item);
            failure = palette->applyPaletteItem(item);
        }
    }
    CView* root = failure == nullptr ? findRootView(tree) : nullptr;
    if (failure == nullptr && root == nullptr) failure = newError("The description has no root view.");
    if (failure == nullptr) failure = renderViewSheet(*root, scale, out);
    const bool ok = failure == nullptr;
    if (!ok) error = errorText(failure);
    tree->release();
    return ok;
}

} // namespace delmaro_tool

namespace delmaro_tool {

int runViewSheet(std::span<const char* const> args) {
    std::string description, out;
    double scale = 1.0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--description" && hasValue)
            description = args[++i];
        else if (arg == "--scale" && hasValue)
            scale = parseDouble(CString(args[++i]));
        else if (out.empty() && arg.rfind("--", 0) != 0)
            out = arg;
        else
            return fail("usage: sheet --description FILE.xml OUT.png [--scale S]");
    }
    if (description.empty() || out.empty() || !(scale >= 0.25 && scale <= 8.0))
        return fail("usage: sheet --description FILE.xml OUT.png [--scale S] (S from 0.25 to 8)");
    char scratch[] = "/tmp/delmaro-sheet-XXXXXX";
    if (mkdtemp(scratch) == nullptr) return fail("cannot make a scratch folder");
    CSystem::setUserPreferencesFolderForTest(CString(scratch));
    CLinearBitmap sheet;
    std::string error;
    int result = 0;
    if (!renderDescriptionSheet(description, scale, sheet, error))
        result = fail("sheet: " + error);
    else if (!writePngFile(out, sheet, error))
        result = fail("sheet: " + error);
    std::filesystem::remove_all(scratch);
    return result;
}

} // namespace delmaro_tool
