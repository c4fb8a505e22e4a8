#include "support/PngWriter.h"

#include "Other/CLinearBitmap.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tal {

namespace {

bool writeRows(const std::string& name, std::int32_t width, std::int32_t height, int colorType,
               const std::vector<std::vector<std::uint8_t>>& rows) {
    const std::string folder = pngFolder();
    if (folder.empty() || width <= 0 || height <= 0)
        return false;
    const std::string path = folder + "/" + name + ".png";
    FILE* volatile file = std::fopen(path.c_str(), "wb");   // kept across a longjmp back to setjmp
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;   // set after a possible longjmp back to setjmp
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, colorType, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (const std::vector<std::uint8_t>& row : rows)
            png_write_row(png, row.data());
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

} // namespace

std::string pngFolder() {
    const char* folder = std::getenv("TAL_PNG_DIR");
    return folder != nullptr ? std::string(folder) : std::string();
}

bool writePng(const std::string& name, const CLinearBitmap& bitmap) {
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(bitmap.height()));
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        std::vector<std::uint8_t>& row = rows[std::size_t(y)];
        row.resize(std::size_t(bitmap.width()) * 3);
        for (std::int32_t x = 0; x < bitmap.width(); ++x)
            for (int c = 0; c < 3; ++c)
                row[std::size_t(x) * 3 + std::size_t(c)] = bitmap.pixel(x, y)[c];
    }
    return writeRows(name, bitmap.width(), bitmap.height(), PNG_COLOR_TYPE_RGB, rows);
}

bool writePngRaw(const std::string& name, const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                 std::int32_t channels) {
    if (channels != 1 && channels != 2 && channels != 4)
        return false;
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* s = pixels + std::size_t(y) * std::size_t(width) * std::size_t(channels);
        std::vector<std::uint8_t> row(s, s + std::size_t(width) * std::size_t(channels));
        if (channels == 4)
            for (std::int32_t x = 0; x < width; ++x)
                std::swap(row[std::size_t(x) * 4], row[std::size_t(x) * 4 + 2]);   // B, G, R, A to R, G, B, A
        rows[std::size_t(y)] = std::move(row);
    }
    const int type = channels == 1 ? PNG_COLOR_TYPE_GRAY : channels == 2 ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_RGBA;
    return writeRows(name, width, height, type, rows);
}

} // namespace tal
