#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tal {
class CLinearBitmap;
}

// PNG files of bitmaps (libpng): specimen sheets of the asset tool and the reference images of the
// tests. Pixels are 8-bit RGB; a bitmap's X byte is dropped.
namespace delmaro_tool {

// Writes the bitmap; false with a reason in error.
bool writePngFile(const std::string& path, const tal::CLinearBitmap& bitmap, std::string& error);
// Reads a PNG of any colour type as RGB rows without padding (3 bytes per pixel).
bool readPngFile(const std::string& path, std::int32_t& width, std::int32_t& height, std::vector<std::uint8_t>& rgb,
                 std::string& error);

} // namespace delmaro_tool
