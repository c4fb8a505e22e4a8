#include "support/ViewRectPainter.h"

#include "UI/CViewBasePlacement.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tal {

namespace {

struct CPaintEntry {
    CViewBasePlacement* view;
    int order;
};

void collect(CViewBasePlacement& view, std::vector<CPaintEntry>& out) {
    out.push_back({&view, int(out.size())});
    for (int i = 0; i < view.childCount(); ++i)
        if (auto* child = dynamic_cast<CViewBasePlacement*>(view.child(i))) collect(*child, out);
}

// A bright colour per index, spread around the hue circle by the golden ratio; shade scales it.
void colourOf(int index, double shade, std::uint8_t bgr[3]) {
    const double hue = std::fmod(index * 0.618033988749895, 1.0) * 6.0;
    const double s = 0.55, v = 0.95 * shade;
    const int sector = int(hue);
    const double f = hue - sector;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    case 5: r = v, g = p, b = q; break;
    default: break;
    }
    bgr[0] = std::uint8_t(std::lround(b * 255));
    bgr[1] = std::uint8_t(std::lround(g * 255));
    bgr[2] = std::uint8_t(std::lround(r * 255));
}

int edge(double v) { return int(v < 0 ? -std::floor(0.5 - v) : std::floor(v + 0.5)); }

} // namespace

CViewRectPicture paintViewRects(CViewBasePlacement& root, std::int32_t width, std::int32_t height) {
    CViewRectPicture pic;
    pic.width = width;
    pic.height = height;
    pic.pixels.assign(std::size_t(width) * std::size_t(height) * 4, 0);
    for (std::size_t i = 3; i < pic.pixels.size(); i += 4) pic.pixels[i] = 255;
    std::vector<CPaintEntry> views;
    collect(root, views);
    std::stable_sort(views.begin(), views.end(),
                     [](const CPaintEntry& a, const CPaintEntry& b) { return a.view->z() < b.view->z(); });
    for (const CPaintEntry& e : views) {
        const CViewArea* area = e.view->area();
        if (area == nullptr || !area->isShown()) continue;
        const CAreaRect& c = area->clipRect();
        const CAreaRect& t = area->totalRect();
        const int cx0 = std::max(0, edge(c.x)), cy0 = std::max(0, edge(c.y));
        const int cx1 = std::min(width, edge(c.x + c.width)), cy1 = std::min(height, edge(c.y + c.height));
        const int tx0 = edge(t.x), ty0 = edge(t.y), tx1 = edge(t.x + t.width) - 1, ty1 = edge(t.y + t.height) - 1;
        std::uint8_t fill[3], line[3];
        colourOf(e.order, 1.0, fill);
        colourOf(e.order, 0.45, line);
        for (int y = cy0; y < cy1; ++y)
            for (int x = cx0; x < cx1; ++x) {
                const bool onEdge = x == tx0 || x == tx1 || y == ty0 || y == ty1;
                std::uint8_t* px = &pic.pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
                std::copy(onEdge ? line : fill, (onEdge ? line : fill) + 3, px);
            }
    }
    return pic;
}

CPictureDifference compareWithPng(const CViewRectPicture& picture, const std::string& path, int tolerance) {
    CPictureDifference result;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return result;
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint8_t> ref(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, ref.data(), 0, nullptr) == 0) return result;
    if (std::int32_t(image.width) != picture.width || std::int32_t(image.height) != picture.height) {
        png_image_free(&image);
        return result;
    }
    result.loaded = true;
    for (std::size_t i = 0; i < ref.size(); i += 4) {
        int worst = 0;
        for (std::size_t c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(int(ref[i + c]) - int(picture.pixels[i + c])));
        result.maxDelta = std::max(result.maxDelta, worst);
        if (worst > tolerance) ++result.differing;
    }
    return result;
}

bool writePictureFile(const CViewRectPicture& picture, const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), 0, nullptr) != 0;
}

} // namespace tal
