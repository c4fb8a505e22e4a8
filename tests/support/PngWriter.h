#pragma once

#include <cstdint>
#include <string>

namespace tal {

class CLinearBitmap;

// Writes pictures made by the tests as PNG files so that a person can look at them. Only when the
// environment variable TAL_PNG_DIR names a folder: then writePng stores <folder>/<name>.png and
// returns true; otherwise it does nothing and returns false.
// Bitmaps are written as RGB (their X byte is dropped); raw pixel arrays of 1, 2 or 4 channels as
// grey, grey with alpha, or RGBA from the stored B, G, R, A order.
bool writePng(const std::string& name, const CLinearBitmap& bitmap);
bool writePngRaw(const std::string& name, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                 std::int32_t channels);
// The folder from TAL_PNG_DIR, or empty.
std::string pngFolder();

} // namespace tal
