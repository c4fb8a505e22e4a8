#include "PaletteSheet.h"

#include "Core/CByteBuffer.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "Core/CFileWriter.h"
#include "Core/CEventRegistry.h"
#include "Core/CObject.h"
#include "Core/CObjectEventBridgeHandler.h"
#include "Core/CPumpedEventBridge.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/CXMLLoader.h"
#include "Core/RecordTags.h"
#include "Other/CColor.h"
#include "Platform/CHeadlessWindowBackend.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "ProductCreators.h"
#include "UI/CDynamicColor.h"
#include "UI/CDynamicColorData.h"
#include "UI/CDynamicPalette.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace delmaro_tool {

using namespace tal;

CError* writeDefaultPaletteItem(const CString& path) {
    CWriteSeqBuffer body;
    delete body.write32(1);
    delete body.writeString(CString());
    CByteBuffer bytes;
    body.moveTo(bytes);
    CFileWriter file;
    CError* error = file.open(path);
    if (error == nullptr)
        error = file.writeCompressedData(bytes, kTagAppData);
    if (error != nullptr) {
        file.discard();
        delete file.close();
        return error;
    }
    return file.close();
}

CError* readDefaultPaletteItem(const CString& path, CByteBuffer& item) {
    CFileReader file;
    if (CError* error = file.open(path))
        return error;
    return file.readCompressedData(item, kTagAppData);
}

CError* loadPalette(const CString& description, const CByteBuffer& item, CObject*& root, CDynamicPalette*& palette) {
    for (const CCreatorTableEntry* const* table = productCreatorTables(); *table != nullptr; ++table)
        CCreatorRegistry::instance().registerTable(*table);
    // The description's windows want an event bridge, a shared object (their trees change at run
    // time), main-loop timers and a window system while they load; they open on a headless screen
    // and are never drawn here, so the bridge goes once the tree is built. The shared object, the
    // timers (never advanced) and the screen, when the process has none, last as long as it.
    if (CMainLoopTimers::current() == nullptr) {
        static CPumpedMainLoopTimers timers;
        CMainLoopTimers::setCurrent(&timers);
    }
    if (CWindowBackend::current() == nullptr) {
        static CHeadlessWindowBackend screen;
        CWindowBackend::setCurrent(&screen);
    }
    if (CObject::sharedObject() == nullptr) {
        static CObject* const shared = [] {
            auto* object = new CObject;
            object->initRoot(nullptr);
            return object;
        }();
        CObject::setSharedObject(shared);
    }
    auto* handler = new CObjectEventBridgeHandler;
    root = handler;
    root->initRoot(new CEventRegistry);
    palette = nullptr;
    CPumpedEventBridge bridge(*handler);
    if (CError* error = CXMLLoader::loadXMLData(*root, description, true))
        return error;
    palette = dynamic_cast<CDynamicPalette*>(root->findObject(CString("ui.palette")));
    if (palette == nullptr)
        return newError("The description has no palette 'ui.palette'.");
    return palette->applyPaletteItem(item);
}

namespace {

struct Canvas {
    RgbImage& image;
    void fill(int x, int y, int w, int h, const std::uint8_t rgb[3]) {
        for (int j = std::max(0, y); j < std::min(image.height, y + h); ++j)
            for (int i = std::max(0, x); i < std::min(image.width, x + w); ++i)
                for (int c = 0; c < 3; ++c)
                    image.pixels[std::size_t((j * image.width + i) * 3 + c)] = rgb[c];
    }
};

// A swatch: the ramp's dark half as a strip on the left, the colour itself over the rest.
void drawSwatch(Canvas& canvas, int x, int y, int size, const CColor& color, const std::uint8_t panel[3]) {
    const std::uint8_t* table = color.toneTable();
    if (table == nullptr)
        return;
    const double alpha = std::clamp(color.opacity(), 0.0, 1.0);
    const int strip = size / 4;
    for (int i = 0; i < size; ++i) {
        const int tone = i < strip ? 64 + (191 * i) / std::max(1, strip) : 255;
        std::uint8_t rgb[3];
        for (int c = 0; c < 3; ++c)
            rgb[c] = std::uint8_t(std::lround(panel[c] + (table[4 * tone + c] - panel[c]) * alpha));
        canvas.fill(x + i, y, 1, size, rgb);
    }
}

} // namespace

RgbImage renderPaletteSheet(CDynamicPalette& palette, double scale) {
    const auto px = [scale](int n) { return int(std::lround(n * scale)); };
    const int cell = px(20), gap = px(4), margin = px(12), groupGap = px(10);
    // Rows: each colour with data of its own, in child order (nested colours follow their parent).
    std::vector<const CDynamicColor*> rows;
    std::vector<bool> groupStart;
    bool pendingGroup = false;
    const auto collect = [&](auto&& self, CObject* parent) -> void {
        for (int i = 0; i < parent->childCount(); ++i) {
            CObject* child = parent->child(i);
            if (auto* color = dynamic_cast<CDynamicColor*>(child)) {
                if (color->colorData() != nullptr) {
                    rows.push_back(color);
                    groupStart.push_back(pendingGroup);
                    pendingGroup = false;
                }
                self(self, child);
            } else if (!child->getTextAttr("title").isEmpty()) {
                pendingGroup = true;
            }
        }
    };
    collect(collect, &palette);
    int maxEntries = 1;
    for (const CDynamicColor* color : rows)
        maxEntries = std::max(maxEntries, int(color->colorData()->entryCount()));
    RgbImage image;
    image.width = 2 * margin + (maxEntries + 1) * (cell + gap) + gap;
    int height = 2 * margin;
    for (std::size_t r = 0; r < rows.size(); ++r)
        height += cell + gap + (groupStart[r] && r > 0 ? groupGap : 0);
    image.height = height;
    image.pixels.assign(std::size_t(image.width * image.height * 3), 0);
    Canvas canvas{image};
    const CColor* panelColor = palette.getColor(CString("Panel"), 0.0);
    std::uint8_t panel[3] = {0, 0, 0};
    if (const std::uint8_t* t = panelColor->toneTable())
        for (int c = 0; c < 3; ++c)
            panel[c] = t[4 * 255 + c];
    canvas.fill(0, 0, image.width, image.height, panel);
    int y = margin;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (groupStart[r] && r > 0)
            y += groupGap;
        const CDynamicColorData* data = rows[r]->colorData();
        for (int e = 0; e < data->entryCount(); ++e)
            drawSwatch(canvas, margin + e * (cell + gap), y, cell, *data->entry(e), panel);
        if (data->hasHover())
            drawSwatch(canvas, margin + maxEntries * (cell + gap) + gap, y, cell, *data->hoverColor(), panel);
        y += cell + gap;
    }
    return image;
}

bool writePngRgb(const std::string& path, const RgbImage& image) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < image.height; ++y)
            png_write_row(png, image.pixels.data() + std::size_t(y * image.width * 3));
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

bool readPngRgb(const std::string& path, RgbImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.c_str()) == 0)
        return false;
    png.format = PNG_FORMAT_RGB;
    image.width = int(png.width);
    image.height = int(png.height);
    image.pixels.assign(PNG_IMAGE_SIZE(png), 0);
    const bool ok = png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr) != 0;
    png_image_free(&png);
    return ok;
}

} // namespace delmaro_tool
