// The asset subcommands of delmaro-tool:
//
//   pack font OUT.fnt --face FILE [--face FILE]... --size PX [--scale S] [--raise PX] [--tracking PX]
//             [--metrics ASCENT,DESCENT,THIRD,FOURTH]
//   pack imageset MANIFEST OUT.is          (the manifest format: tools/ImageSetPacker.h)
//   inspect FILE.is | FILE.fnt             (through "inspect")
//   sheet IN.is|IN.fnt OUT.png [--scale S] [--text TEXT]
//   sheet --description FILE.xml OUT.png [--scale S]   (tools/ViewSheet.h)
//
// Files are written through the framework's writers (CDataSet::save: replaced only when written
// whole).
#include "DelmaroTool.h"

#include "FontPacker.h"
#include "ImageSetPacker.h"
#include "PngFile.h"
#include "SpecimenSheet.h"
#include "ViewSheet.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/Log.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace delmaro_tool {

namespace {

using namespace tal;

std::string take(CError* err) {
    CString text;
    fetchErrorText(err, text, true);
    std::string out = text.narrowed().chars8();
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

bool isFontPath(const std::string& path) { return path.size() > 4 && path.compare(path.size() - 4, 4, ".fnt") == 0; }

bool toNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size();
}

// Loads a set or a font file, chosen by the extension ".fnt".
std::unique_ptr<CImageSet> loadAsset(const std::string& path, std::string& error) {
    std::unique_ptr<CImageSet> set(isFontPath(path) ? new CFont : new CImageSet);
    if (CError* err = set->load(CString(path.c_str()))) {
        error = "cannot load '" + path + "':\n" + take(err);
        return nullptr;
    }
    // Another record version reads as an empty set without error; an empty set is never shipped.
    if (set->imageCount() == 0 && set->ranges().isEmpty()) {
        error = "'" + path + "' holds no " + (isFontPath(path) ? "font" : "image set") +
                " (another record version, or empty)";
        return nullptr;
    }
    return set;
}

int save(const CImageSet& set, const std::string& path, const char* what) {
    if (CError* err = set.save(CString(path.c_str())))
        return fail(std::string(what) + ": cannot write '" + path + "':\n" + take(err));
    return 0;
}

} // namespace

int runPackFont(std::span<const char* const> args) {
    if (args.empty())
        return fail("pack font: expected OUT.fnt --face FILE --size PX [OPTIONS]");
    const std::string output = args[0];
    FontPackOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string a = args[i];
        if (i + 1 >= args.size())
            return fail("pack font: " + a + " needs a value");
        const std::string v = args[++i];
        double number = 0.0;
        if (a == "--face") {
            options.faces.push_back(v);
        } else if (a == "--metrics") {
            if (std::sscanf(v.c_str(), "%lf,%lf,%lf,%lf", &options.metrics[0], &options.metrics[1], &options.metrics[2],
                            &options.metrics[3]) != 4)
                return fail("pack font: --metrics needs four numbers separated by commas, got '" + v + "'");
            options.haveMetrics = true;
        } else if (!toNumber(v, number)) {
            return fail("pack font: " + a + " needs a number, got '" + v + "'");
        } else if (a == "--size") {
            options.size = number;
        } else if (a == "--scale") {
            options.scale = number;
        } else if (a == "--raise") {
            options.raise = number;
        } else if (a == "--tracking") {
            options.tracking = number;
        } else {
            return fail("pack font: unknown option '" + a + "'");
        }
    }
    CFont font;
    std::string error;
    if (!packFont(options, font, error))
        return fail("pack font: " + error);
    return save(font, output, "pack font");
}

int runPackImageSet(std::span<const char* const> args) {
    if (args.size() != 2)
        return fail("pack imageset: expected MANIFEST OUT.is");
    CImageSet set;
    std::string error;
    if (!packImageSet(args[0], set, error))
        return fail("pack imageset: " + error);
    return save(set, args[1], "pack imageset");
}

bool inspectAssetFile(const std::string& path, std::string& out, std::string& error) {
    const std::unique_ptr<CImageSet> set = loadAsset(path, error);
    if (set == nullptr)
        return false;
    char line[256];
    if (isFontPath(path)) {
        const auto& font = static_cast<const CFont&>(*set);
        std::snprintf(line, sizeof line, "font: ascent %g, descent %g, third %g, fourth %g\n", font.metrics()[0],
                      font.metrics()[1], font.metrics()[2], font.metrics()[3]);
        out += line;
    }
    std::int32_t held = 0;
    for (std::int32_t i = 0; i < set->imageCount(); ++i)
        held += set->image(i) != nullptr ? 1 : 0;
    out += "image set: " + std::to_string(set->ranges().count()) + " ranges, " + std::to_string(held) +
           " images (indices below " + std::to_string(set->imageCount()) + ")\n";
    for (auto* node = set->ranges().first(); node != nullptr; node = set->ranges().next(node)) {
        std::snprintf(line, sizeof line, "  range \"%s\" %d..%d\n", node->key.narrowed().chars8(), node->value.first,
                      node->value.last);
        out += line;
    }
    for (std::int32_t i = 0; i < set->imageCount(); ++i) {
        const CImage* image = set->image(i);
        if (image == nullptr)
            continue;
        out += "  image " + std::to_string(i) + ": " + std::to_string(image->layerCount()) + " layers\n";
        for (int k = 0; k < image->layerCount(); ++k) {
            const CImageLayer* l = image->layer(k);
            std::snprintf(line, sizeof line,
                          "    slot %d, %dx%d at (%d, %d), scale %g, %d channels, tone %d, advance %g, %s %d bytes\n",
                          l->colorIndex(), l->width(), l->height(), l->offsetX(), l->offsetY(), l->scale(),
                          l->channels(), l->tone(), l->advance(), l->isPrepared() ? "runs" : "raw", l->blockSize());
            out += line;
        }
    }
    return true;
}

int runPaletteSheet(std::span<const char* const> args);

int runSheet(std::span<const char* const> args) {
    for (const char* arg : args)
        if (std::string_view(arg) == "--palette")
            return runPaletteSheet(args);
    for (const char* arg : args)
        if (std::string_view(arg) == "--description")
            return runViewSheet(args);
    if (args.size() < 2)
        return fail("usage: sheet IN.is|IN.fnt OUT.png [--scale S] [--text TEXT]");
    double scale = 1.0;
    std::string text;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string a = args[i];
        if (i + 1 >= args.size())
            return fail("sheet: " + a + " needs a value");
        const std::string v = args[++i];
        if (a == "--scale") {
            if (!toNumber(v, scale) || !(scale >= 0.25 && scale <= 8.0))
                return fail("sheet: --scale needs a number from 0.25 to 8, got '" + v + "'");
        } else if (a == "--text") {
            text = v;
        } else {
            return fail("sheet: unknown option '" + a + "'");
        }
    }
    std::string error;
    const std::unique_ptr<CImageSet> set = loadAsset(args[0], error);
    if (set == nullptr)
        return fail("sheet: " + error);
    CLinearBitmap sheet;
    if (isFontPath(args[0]))
        renderFontSheet(static_cast<const CFont&>(*set), scale, text, sheet);
    else
        renderImageSetSheet(*set, scale, sheet);
    if (!writePngFile(args[1], sheet, error))
        return fail("sheet: " + error);
    return 0;
}

} // namespace delmaro_tool
