#pragma once
#include "Core/CString.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tal {
class CByteBuffer;
class CDynamicPalette;
class CError;
class CObject;
} // namespace tal

namespace delmaro_tool {

// The palette item the product starts from: version 1 and no entries, so that every editable colour
// takes its description's defaults. Written as the application-data record the plug-in embeds.
[[nodiscard]] tal::CError* writeDefaultPaletteItem(const tal::CString& path);
// Reads such a record back; item receives its body.
[[nodiscard]] tal::CError* readDefaultPaletteItem(const tal::CString& path, tal::CByteBuffer& item);

// Loads a compiled editor description onto a new root (released by the caller) and applies item to
// its palette "ui.palette". Registers the product's tags. The palette reads and writes its cache in
// the local application data: callers point the preferences folder where that does no harm.
[[nodiscard]] tal::CError* loadPalette(const tal::CString& description, const tal::CByteBuffer& item,
                                       tal::CObject*& root, tal::CDynamicPalette*& palette);

// An RGB picture, 3 bytes per pixel, rows top to bottom.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Every colour of the palette in description order as a row of swatches on the panel colour: its
// gradient entries, then (after a gap) its hover colour; each swatch shows the full ramp from dark
// (left) to the colour itself (most of the cell), blended by the colour's opacity. Group titles
// leave a gap. scale multiplies every size.
RgbImage renderPaletteSheet(tal::CDynamicPalette& palette, double scale);

bool writePngRgb(const std::string& path, const RgbImage& image);
bool readPngRgb(const std::string& path, RgbImage& image);

} // namespace delmaro_tool
