#include "PngFile.h"

#include "Other/CLinearBitmap.h"

#include <png.h>

#include <cstring>

namespace delmaro_tool {

bool writePngFile(const std::string& path, const tal::CLinearBitmap& bitmap, std::string& error) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0) {
        error = "an empty bitmap is not written";
        return false;
    }
    std::vector<std::uint8_t> rgb(std::size_t(bitmap.width()) * std::size_t(bitmap.height()) * 3);
    for (std::int32_t y = 0; y < bitmap.height(); ++y)
        for (std::int32_t x = 0; x < bitmap.width(); ++x)
            std::memcpy(&rgb[(std::size_t(y) * std::size_t(bitmap.width()) + std::size_t(x)) * 3], bitmap.pixel(x, y), 3);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(bitmap.width());
    image.height = png_uint_32(bitmap.height());
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
        error = "cannot write '" + path + "': " + image.message;
        return false;
    }
    return true;
}

bool readPngFile(const std::string& path, std::int32_t& width, std::int32_t& height, std::vector<std::uint8_t>& rgb,
                 std::string& error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        error = "cannot read '" + path + "': " + image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
        error = "cannot decode '" + path + "': " + image.message;
        png_image_free(&image);
        return false;
    }
    width = std::int32_t(image.width);
    height = std::int32_t(image.height);
    return true;
}

} // namespace delmaro_tool
